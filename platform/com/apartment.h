// Internal: whether the calling thread has joined an apartment.
#pragma once

namespace com_detail {

bool ThreadHasApartment();

}  // namespace com_detail
