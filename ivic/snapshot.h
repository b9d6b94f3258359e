// Snapshots of a session's settings: every readable attribute of the
// connected model, each measurement's and marker's under its selector, as
// one JSON document; and the writing back of such a document.
#pragma once

#include <string>
#include <string_view>

#include "zentrava/visatype.h"

namespace ztv {

// {"identity": {...}, "resource": ..., "time": ..., "settings": {...},
//  "unreadable": {...}}. Reads that fail are listed with their error and
// the snapshot goes on. With a prefix, only the attributes whose names
// begin with it are read.
std::string TakeSnapshot(ViSession vi, std::string_view prefix = {});

// Writes every writable instrument setting of `json` back, instrument-wide
// ones first, then each application's from the top down, and the switches
// that start sweeping last. `report` gets one line for each setting refused
// ("KEY: why"); `refused` counts them. Fails only when `json` is no snapshot.
ViStatus RestoreSnapshot(ViSession vi, std::string_view json, std::string* report, int* refused);

}  // namespace ztv
