#include "platform/visa/formatted/formatted_io.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/protocol/ieee_block.h"
#include "platform/text/number_codec.h"
#include "platform/visa/com_error.h"
#include "platform/visa/formatted/array_loan.h"
#include "platform/visa/formatted/block_element.h"
#include "platform/visa/formatted/number_text.h"
#include "platform/visa/formatted/real_list_parser.h"

namespace visa {
namespace {

constexpr std::size_t kDirectReadChunk = 64 * 1024;
// The most values one list read returns: a reply without end must not
// take all memory.
constexpr std::size_t kMaxListValues = std::size_t{16} << 20;

bool IsSeparator(int c) { return c == ',' || c == ';'; }

HRESULT NullArgument() { return ReportHresult(E_POINTER, "A required pointer argument is null."); }

// The one-dimensional array a VARIANT holds, with its element type.
HRESULT ArrayInVariant(const VARIANT* data, SAFEARRAY** array, VARTYPE* elementType) {
    if (data == nullptr) return NullArgument();
    if ((data->vt & VT_ARRAY) == 0 || (data->vt & VT_BYREF) != 0 || data->parray == nullptr ||
        SafeArrayGetDim(data->parray) != 1) {
        return ReportHresult(DISP_E_TYPEMISMATCH, "The data must be a one-dimensional array.");
    }
    *array = data->parray;
    *elementType = static_cast<VARTYPE>(data->vt & ~VT_ARRAY);
    return S_OK;
}

// One element of an array as a scalar VARIANT (strings are borrowed, not copied).
VARIANT ElementAsVariant(const std::uint8_t* data, VARTYPE type, std::size_t index) {
    VARIANT value;
    VariantInit(&value);
    if (type == VT_VARIANT) return reinterpret_cast<const VARIANT*>(data)[index];
    value.vt = type;
    switch (type) {
        case VT_I2:
            value.iVal = reinterpret_cast<const SHORT*>(data)[index];
            break;
        case VT_I4:
        case VT_INT:
            value.lVal = reinterpret_cast<const LONG*>(data)[index];
            break;
        case VT_R4:
            value.fltVal = reinterpret_cast<const float*>(data)[index];
            break;
        case VT_R8:
            value.dblVal = reinterpret_cast<const double*>(data)[index];
            break;
        case VT_UI1:
            value.bVal = data[index];
            break;
        case VT_BOOL:
            value.boolVal = reinterpret_cast<const VARIANT_BOOL*>(data)[index];
            break;
        case VT_BSTR:
            value.bstrVal = reinterpret_cast<BSTR const*>(data)[index];
            break;
        default:
            value.vt = VT_EMPTY;
            break;
    }
    return value;
}

VARTYPE BinaryVartype(IEEEBinaryType type) {
    switch (type) {
        case BinaryType_I2:
            return VT_I2;
        case BinaryType_I4:
            return VT_I4;
        case BinaryType_R4:
            return VT_R4;
        case BinaryType_R8:
            return VT_R8;
        case BinaryType_UI1:
            return VT_UI1;
    }
    return VT_EMPTY;
}

// Turns the session's termination character off while a block is read, on
// links that mark message ends: there a line feed among the block's bytes is
// data, and only END or the block's length ends it. Where the termination
// character is the only end a reply has, it stays on.
class TermCharOffForBlock {
public:
    TermCharOffForBlock(IMessage* io, IMessageReadEnd* readEnd) {
        VARIANT_BOOL carried = VARIANT_FALSE;
        VARIANT_BOOL enabled = VARIANT_FALSE;
        if (readEnd == nullptr || FAILED(readEnd->get_CarriesEnd(&carried)) || carried == VARIANT_FALSE ||
            FAILED(io->get_TerminationCharacterEnabled(&enabled)) || enabled == VARIANT_FALSE) {
            return;
        }
        if (SUCCEEDED(io->put_TerminationCharacterEnabled(VARIANT_FALSE))) io_ = io;
    }
    TermCharOffForBlock(const TermCharOffForBlock&) = delete;
    TermCharOffForBlock& operator=(const TermCharOffForBlock&) = delete;
    ~TermCharOffForBlock() {
        if (io_ != nullptr) io_->put_TerminationCharacterEnabled(VARIANT_TRUE);
    }

private:
    IMessage* io_ = nullptr;
};

HRESULT PutArray(VARTYPE type, const void* data, std::size_t count, VARIANT* out) {
    SAFEARRAY* array = ResultVector(type, static_cast<ULONG>(count));
    if (array == nullptr) return ReportHresult(E_OUTOFMEMORY, "Out of memory for the data read.");
    if (count > 0) std::memcpy(array->pvData, data, count * SafeArrayGetElemsize(array));
    out->vt = static_cast<VARTYPE>(VT_ARRAY | type);
    out->parray = array;
    return S_OK;
}

// Converts each item of a list reply; on failure none is kept.
HRESULT ConvertItems(std::string_view rest, IEEEASCIIType type, const std::string& split, std::vector<VARIANT>* items) {
    for (;;) {
        const std::size_t end = rest.find_first_of(split);
        VARIANT item;
        VariantInit(&item);
        if (HRESULT hr = TokenToVariant(rest.substr(0, end), type, &item); FAILED(hr)) {
            for (VARIANT& kept : *items) VariantClear(&kept);
            return hr;
        }
        items->push_back(item);
        if (end == std::string_view::npos) return S_OK;
        rest.remove_prefix(end + 1);
    }
}

// Copies one converted item into its array slot; a string's ownership moves
// to the array.
void PutItem(const VARIANT& item, VARTYPE elementType, std::uint8_t* slot) {
    switch (elementType) {
        case VT_I2:
            std::memcpy(slot, &item.iVal, sizeof(SHORT));
            break;
        case VT_I4:
            std::memcpy(slot, &item.lVal, sizeof(LONG));
            break;
        case VT_R4:
            std::memcpy(slot, &item.fltVal, sizeof(float));
            break;
        case VT_UI1:
            *slot = item.bVal;
            break;
        case VT_BSTR:
            std::memcpy(slot, &item.bstrVal, sizeof(BSTR));
            break;
        default:
            break;
    }
}

// A text list reply as an array of `elementType`.
HRESULT TextListToArray(std::string_view rest, IEEEASCIIType type, VARTYPE elementType, const std::string& split,
                        VARIANT* list) {
    if (rest.empty()) return PutArray(elementType, nullptr, 0, list);
    std::vector<VARIANT> items;
    if (HRESULT hr = ConvertItems(rest, type, split, &items); FAILED(hr)) return hr;
    SAFEARRAY* array = SafeArrayCreateVector(elementType, 0, static_cast<ULONG>(items.size()));
    if (array == nullptr) {
        for (VARIANT& item : items) VariantClear(&item);
        return ReportHresult(E_OUTOFMEMORY, "Out of memory for the list read.");
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        PutItem(items[i], elementType, static_cast<std::uint8_t*>(array->pvData) + i * SafeArrayGetElemsize(array));
    }
    list->vt = static_cast<VARTYPE>(VT_ARRAY | elementType);
    list->parray = array;
    return S_OK;
}

}  // namespace

HRESULT FormattedIO::NoIo() const {
    return ReportHresult(E_VISA_INV_SETUP, "The formatted I/O object has no session; set its IO property first.");
}

HRESULT FormattedIO::get_IO(IMessage** io) {
    if (io == nullptr) return NullArgument();
    std::lock_guard lock(mutex_);
    *io = io_.get();
    if (*io != nullptr) (*io)->AddRef();
    return S_OK;
}

HRESULT FormattedIO::putref_IO(IMessage* io) {
    std::lock_guard lock(mutex_);
    io_ = com::ComPtr<IMessage>::Share(io);
    ioWithStop_ = com::ComPtr<IMessageReadEnd>();
    if (io != nullptr) io->QueryInterface(IID_IMessageReadEnd, reinterpret_cast<void**>(ioWithStop_.Receive()));
    writeBuffer_.clear();
    sentWithoutEnd_ = false;
    readPos_ = readLen_ = 0;
    readEnded_ = true;
    return S_OK;
}

HRESULT FormattedIO::get_InstrumentBigEndian(VARIANT_BOOL* big) {
    if (big == nullptr) return NullArgument();
    std::lock_guard lock(mutex_);
    *big = bigEndian_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT FormattedIO::put_InstrumentBigEndian(VARIANT_BOOL big) {
    std::lock_guard lock(mutex_);
    bigEndian_ = big != VARIANT_FALSE;
    return S_OK;
}

// ---- writing ------------------------------------------------------------------

HRESULT FormattedIO::Send(const std::uint8_t* data, std::size_t size, bool end) {
    VARIANT_BOOL saved = VARIANT_TRUE;
    if (HRESULT hr = io_->get_SendEndEnabled(&saved); FAILED(hr)) return hr;
    const VARIANT_BOOL wanted = end ? VARIANT_TRUE : VARIANT_FALSE;
    if (saved != wanted) io_->put_SendEndEnabled(wanted);
    LONG written = 0;
    const HRESULT hr = io_->WriteBytes(data, static_cast<LONG>(size), &written);
    if (saved != wanted) io_->put_SendEndEnabled(saved);
    if (SUCCEEDED(hr)) sentWithoutEnd_ = !end;
    return hr;
}

HRESULT FormattedIO::Append(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        if (writeBuffer_.empty() && size > writeCapacity_) {
            // Large data goes out directly; its tail stays buffered for a possible END.
            const std::size_t direct = size - writeCapacity_;
            if (HRESULT hr = Send(bytes, direct, false); FAILED(hr)) return hr;
            bytes += direct;
            size -= direct;
            continue;
        }
        if (writeBuffer_.size() >= writeCapacity_) {
            if (HRESULT hr = FlushWriteLocked(false); FAILED(hr)) return hr;
            continue;
        }
        const std::size_t take = std::min(size, writeCapacity_ - writeBuffer_.size());
        writeBuffer_.insert(writeBuffer_.end(), bytes, bytes + take);
        bytes += take;
        size -= take;
    }
    return S_OK;
}

HRESULT FormattedIO::FlushWriteLocked(bool end) {
    if (writeBuffer_.empty() && !(end && sentWithoutEnd_)) return S_OK;
    const HRESULT hr = Send(writeBuffer_.data(), writeBuffer_.size(), end);
    writeBuffer_.clear();
    return hr;
}

HRESULT FormattedIO::WriteString(BSTR data, VARIANT_BOOL flushAndEND) {
    std::lock_guard lock(mutex_);
    if (!io_) return NoIo();
    const std::string text = WideToUtf8(BstrView(data));
    if (HRESULT hr = Append(text.data(), text.size()); FAILED(hr)) return hr;
    return flushAndEND != VARIANT_FALSE ? FlushWriteLocked(true) : S_OK;
}

HRESULT FormattedIO::WriteNumber(VARIANT data, IEEEASCIIType type, VARIANT_BOOL flushAndEND) {
    std::lock_guard lock(mutex_);
    if (!io_) return NoIo();
    std::string text;
    if (HRESULT hr = AppendNumber(data, type, &text); FAILED(hr)) return hr;
    if (HRESULT hr = Append(text.data(), text.size()); FAILED(hr)) return hr;
    return flushAndEND != VARIANT_FALSE ? FlushWriteLocked(true) : S_OK;
}

HRESULT FormattedIO::WriteList(VARIANT* data, IEEEASCIIType type, BSTR separator, VARIANT_BOOL flushAndEND) {
    std::lock_guard lock(mutex_);
    if (!io_) return NoIo();
    SAFEARRAY* array = nullptr;
    VARTYPE elementType = VT_EMPTY;
    if (HRESULT hr = ArrayInVariant(data, &array, &elementType); FAILED(hr)) return hr;
    std::string between = WideToUtf8(BstrView(separator));
    // Not = ",": GCC 12 misreads that as an overlapping copy when optimising.
    if (between.empty()) between.push_back(',');
    void* elements = nullptr;
    if (HRESULT hr = SafeArrayAccessData(array, &elements); FAILED(hr))
        return ReportHresult(hr, "Cannot access the array.");
    std::string text;
    HRESULT hr = S_OK;
    for (ULONG i = 0; i < array->rgsabound[0].cElements && SUCCEEDED(hr); ++i) {
        if (i > 0) text += between;
        hr = AppendNumber(ElementAsVariant(static_cast<const std::uint8_t*>(elements), elementType, i), type, &text);
    }
    SafeArrayUnaccessData(array);
    if (FAILED(hr)) return hr;
    if (hr = Append(text.data(), text.size()); FAILED(hr)) return hr;
    return flushAndEND != VARIANT_FALSE ? FlushWriteLocked(true) : S_OK;
}

HRESULT FormattedIO::WriteIEEEBlock(BSTR command, VARIANT data, VARIANT_BOOL flushAndEND) {
    std::lock_guard lock(mutex_);
    if (!io_) return NoIo();
    SAFEARRAY* array = nullptr;
    VARTYPE elementType = VT_EMPTY;
    if (HRESULT hr = ArrayInVariant(&data, &array, &elementType); FAILED(hr)) return hr;
    const std::size_t elementSize = BinaryElementSize(elementType);
    if (elementSize == 0) return ReportHresult(DISP_E_TYPEMISMATCH, "A block holds bytes, integers or reals.");
    void* elements = nullptr;
    if (HRESULT hr = SafeArrayAccessData(array, &elements); FAILED(hr))
        return ReportHresult(hr, "Cannot access the array.");
    const std::size_t length = array->rgsabound[0].cElements * elementSize;
    std::vector<std::uint8_t> bytes(static_cast<const std::uint8_t*>(elements),
                                    static_cast<const std::uint8_t*>(elements) + length);
    SafeArrayUnaccessData(array);
    if (bigEndian_ != (std::endian::native == std::endian::big))
        protocol::SwapElementBytes(bytes.data(), length, elementSize);

    std::string prefix = WideToUtf8(BstrView(command)) + protocol::DefiniteBlockHeader(length);
    if (HRESULT hr = Append(prefix.data(), prefix.size()); FAILED(hr)) return hr;
    if (HRESULT hr = Append(bytes.data(), bytes.size()); FAILED(hr)) return hr;
    return flushAndEND != VARIANT_FALSE ? FlushWriteLocked(true) : S_OK;
}

HRESULT FormattedIO::FlushWrite(VARIANT_BOOL sendEND) {
    std::lock_guard lock(mutex_);
    if (!io_) return NoIo();
    return FlushWriteLocked(sendEND != VARIANT_FALSE);
}

// ---- reading ------------------------------------------------------------------

HRESULT FormattedIO::ReadChunk(std::uint8_t* buffer, std::size_t count, std::size_t* actual, ReadStop* stop) {
    LONG got = 0;
    HRESULT hr;
    if (ioWithStop_) {
        *stop = READ_STOP_COUNT;
        hr = ioWithStop_->ReadBytesWithStop(buffer, static_cast<LONG>(count), &got, stop);
    } else {
        // A foreign session does not say why it stopped: a short read is the end.
        hr = io_->ReadBytes(buffer, static_cast<LONG>(count), &got);
        *stop = static_cast<std::size_t>(got) < count ? READ_STOP_END : READ_STOP_COUNT;
    }
    *actual = SUCCEEDED(hr) ? static_cast<std::size_t>(got) : 0;
    if (FAILED(hr)) {
        // What was buffered belongs to a reply that is now broken.
        readPos_ = readLen_ = 0;
        readEnded_ = true;
        lastStop_ = READ_STOP_END;
    } else {
        lastStop_ = *stop;
    }
    return hr;
}

HRESULT FormattedIO::Fill() {
    readBuffer_.resize(readCapacity_);
    readPos_ = readLen_ = 0;
    std::size_t got = 0;
    ReadStop stop = READ_STOP_COUNT;
    if (HRESULT hr = ReadChunk(readBuffer_.data(), readBuffer_.size(), &got, &stop); FAILED(hr)) return hr;
    readLen_ = got;
    readEnded_ = stop != READ_STOP_COUNT;
    return S_OK;
}

HRESULT FormattedIO::StartReplyIfIdle() { return !HasBuffered() && readEnded_ ? Fill() : S_OK; }

HRESULT FormattedIO::Peek(int* byte) {
    while (!HasBuffered()) {
        if (readEnded_) {
            *byte = -1;
            return S_OK;
        }
        if (HRESULT hr = Fill(); FAILED(hr)) return hr;
    }
    *byte = readBuffer_[readPos_];
    return S_OK;
}

HRESULT FormattedIO::ReadRest(std::string* text) {
    if (HRESULT hr = StartReplyIfIdle(); FAILED(hr)) return hr;
    text->assign(readBuffer_.begin() + static_cast<std::ptrdiff_t>(readPos_),
                 readBuffer_.begin() + static_cast<std::ptrdiff_t>(readLen_));
    readPos_ = readLen_ = 0;
    const std::size_t chunk = std::max(readCapacity_, kDirectReadChunk);
    while (!readEnded_) {
        const std::size_t used = text->size();
        text->resize(used + chunk);
        std::size_t got = 0;
        ReadStop stop = READ_STOP_COUNT;
        const HRESULT hr = ReadChunk(reinterpret_cast<std::uint8_t*>(text->data()) + used, chunk, &got, &stop);
        text->resize(used + got);
        if (FAILED(hr)) return hr;
        readEnded_ = stop != READ_STOP_COUNT;
    }
    return S_OK;
}

HRESULT FormattedIO::ReadRealList(const std::string& separators, VARIANT* list) {
    if (HRESULT hr = StartReplyIfIdle(); FAILED(hr)) return hr;
    RealListParser& parser = listParser_;
    // A caller whose storage is smaller than the list gets what fits; the
    // rest is checked and counted only.
    parser.Start(separators, kMaxListValues, KeptElements(VT_R8));
    parser.Feed(std::string_view(reinterpret_cast<const char*>(readBuffer_.data()) + readPos_, readLen_ - readPos_));
    readPos_ = readLen_ = 0;
    listChunk_.resize(std::max(readCapacity_, kDirectReadChunk));
    while (!readEnded_) {
        std::size_t got = 0;
        ReadStop stop = READ_STOP_COUNT;
        if (HRESULT hr = ReadChunk(listChunk_.data(), listChunk_.size(), &got, &stop); FAILED(hr)) return hr;
        readEnded_ = stop != READ_STOP_COUNT;
        parser.Feed(std::string_view(reinterpret_cast<const char*>(listChunk_.data()), got));
        if (parser.overLimit()) {
            // The rest stays unread: the session needs a device clear.
            readEnded_ = true;
            return ReportHresult(E_VISA_INV_FMT, "The list holds more than " + std::to_string(kMaxListValues) +
                                                     " values, the most one read returns.");
        }
    }
    if (!parser.Finish())
        return ReportHresult(E_VISA_INV_FMT, "Cannot read \"" + parser.badItem() + "\" of the list as a number.");
    if (parser.count() > parser.values().size()) CountResult(parser.count());
    return PutArray(VT_R8, parser.values().data(), parser.values().size(), list);
}

HRESULT FormattedIO::ReadExactly(std::uint8_t* data, std::size_t size) {
    const std::size_t buffered = std::min(size, readLen_ - readPos_);
    if (buffered > 0) std::memcpy(data, readBuffer_.data() + readPos_, buffered);
    readPos_ += buffered;
    std::size_t filled = buffered;
    // Only END or the count ends binary data: a termination character inside
    // it (or as its last byte) is data, and the real terminator still follows.
    if (HasBuffered()) return S_OK;
    if (lastStop_ == READ_STOP_TERMCHAR) readEnded_ = false;
    while (filled < size) {
        std::size_t got = 0;
        ReadStop stop = READ_STOP_COUNT;
        if (HRESULT hr = ReadChunk(data + filled, size - filled, &got, &stop); FAILED(hr)) return hr;
        filled += got;
        readEnded_ = stop == READ_STOP_END;
    }
    return S_OK;
}

HRESULT FormattedIO::ReadToken(std::string* token) {
    token->clear();
    bool startedReply = false;
    for (;;) {
        if (!HasBuffered() && readEnded_) {
            if (startedReply) return ReportHresult(E_VISA_INV_FMT, "The reply holds no value.");
            if (HRESULT hr = Fill(); FAILED(hr)) return hr;
            startedReply = true;
            continue;
        }
        int c = 0;
        if (HRESULT hr = Peek(&c); FAILED(hr)) return hr;
        if (c < 0) continue;
        if (!codec::IsBlank(c) && !IsSeparator(c)) break;
        ++readPos_;
    }
    for (;;) {
        int c = 0;
        if (HRESULT hr = Peek(&c); FAILED(hr)) return hr;
        if (c < 0 || codec::IsBlank(c) || IsSeparator(c)) return S_OK;
        token->push_back(static_cast<char>(c));
        ++readPos_;
    }
}

HRESULT FormattedIO::FlushReadLocked() {
    readPos_ = readLen_ = 0;
    while (!readEnded_) {
        if (HRESULT hr = Fill(); FAILED(hr)) return hr;
        readPos_ = readLen_ = 0;
    }
    return S_OK;
}

HRESULT FormattedIO::ReadString(BSTR* text) {
    if (text == nullptr) return NullArgument();
    *text = nullptr;
    std::lock_guard lock(mutex_);
    if (!io_) return NoIo();
    if (HRESULT hr = FlushWriteLocked(true); FAILED(hr)) return hr;
    std::string reply;
    if (HRESULT hr = ReadRest(&reply); FAILED(hr)) return hr;
    *text = Utf8ToBstr(reply);
    return *text != nullptr ? S_OK : ReportHresult(E_OUTOFMEMORY, "Out of memory for the text read.");
}

HRESULT FormattedIO::ReadNumber(IEEEASCIIType type, VARIANT_BOOL flushToEND, VARIANT* value) {
    if (value == nullptr) return NullArgument();
    VariantInit(value);
    std::lock_guard lock(mutex_);
    if (!io_) return NoIo();
    if (HRESULT hr = FlushWriteLocked(true); FAILED(hr)) return hr;
    std::string token;
    if (HRESULT hr = ReadToken(&token); FAILED(hr)) return hr;
    if (HRESULT hr = TokenToVariant(token, type, value); FAILED(hr)) return hr;
    return flushToEND != VARIANT_FALSE ? FlushReadLocked() : S_OK;
}

HRESULT FormattedIO::ReadList(IEEEASCIIType type, BSTR separators, VARIANT* list) {
    if (list == nullptr) return NullArgument();
    VariantInit(list);
    std::lock_guard lock(mutex_);
    if (!io_) return NoIo();
    const VARTYPE elementType = ListElementType(type);
    if (elementType == VT_EMPTY) return ReportHresult(E_INVALIDARG, "Unknown list element type.");
    std::string split = WideToUtf8(BstrView(separators));
    if (split.empty()) split = ",;";
    if (HRESULT hr = FlushWriteLocked(true); FAILED(hr)) return hr;
    // Long traces are reals: those are parsed as they arrive.
    if (elementType == VT_R8) return ReadRealList(split, list);
    std::string reply;
    if (HRESULT hr = ReadRest(&reply); FAILED(hr)) return hr;
    return TextListToArray(codec::TrimBlanks(reply), type, elementType, split, list);
}

HRESULT FormattedIO::SeekBlockStart(bool seek) {
    for (;;) {
        int c = 0;
        if (HRESULT hr = Peek(&c); FAILED(hr)) return hr;
        if (c < 0) return ReportHresult(E_VISA_INV_FMT, "The reply holds no IEEE 488.2 block.");
        if (c == protocol::kBlockStart) return S_OK;
        if (!seek && !codec::IsBlank(c)) {
            return ReportHresult(E_VISA_INV_FMT, "The reply does not start with an IEEE 488.2 block.");
        }
        ++readPos_;
    }
}

HRESULT FormattedIO::ReadBlockHeader(protocol::BlockHeader* header) {
    std::string text;
    for (;;) {
        int c = 0;
        if (HRESULT hr = Peek(&c); FAILED(hr)) return hr;
        if (c >= 0) text.push_back(static_cast<char>(c));
        *header = protocol::ParseBlockHeader(text, c < 0);
        switch (header->status) {
            case protocol::BlockHeaderStatus::kNoStart:
            case protocol::BlockHeaderStatus::kBadDigitCount:
                return ReportHresult(E_VISA_INV_FMT, "Malformed IEEE 488.2 block header.");
            case protocol::BlockHeaderStatus::kBadLength:
                return ReportHresult(E_VISA_INV_FMT, "Malformed IEEE 488.2 block length.");
            default:
                break;
        }
        // A malformed byte stays unread; a good one is taken.
        ++readPos_;
        if (header->status != protocol::BlockHeaderStatus::kIncomplete) return S_OK;
    }
}

HRESULT FormattedIO::ReadBlockData(const protocol::BlockHeader& header, std::size_t elementSize,
                                   std::vector<std::uint8_t>* bytes) {
    if (header.status == protocol::BlockHeaderStatus::kIndefinite) {
        std::string rest;
        if (HRESULT hr = ReadRest(&rest); FAILED(hr)) return hr;
        const std::string_view data = protocol::IndefiniteBlockData(rest);
        bytes->assign(data.begin(), data.end());
    } else {
        if (header.length % elementSize != 0) {
            return ReportHresult(E_VISA_INV_FMT, "The block length " + std::to_string(header.length) +
                                                     " is not a whole number of elements.");
        }
        bytes->resize(header.length);
        if (HRESULT hr = ReadExactly(bytes->data(), header.length); FAILED(hr)) return hr;
    }
    if (bytes->size() % elementSize != 0) {
        return ReportHresult(E_VISA_INV_FMT, "The block is not a whole number of elements.");
    }
    return S_OK;
}

HRESULT FormattedIO::ReadIEEEBlock(IEEEBinaryType type, VARIANT_BOOL seekToBlock, VARIANT_BOOL flushToEND,
                                   VARIANT* block) {
    if (block == nullptr) return NullArgument();
    VariantInit(block);
    std::lock_guard lock(mutex_);
    if (!io_) return NoIo();
    const VARTYPE elementType = BinaryVartype(type);
    const std::size_t elementSize = BinaryElementSize(elementType);
    if (elementSize == 0) return ReportHresult(E_INVALIDARG, "Unknown block element type.");
    if (HRESULT hr = FlushWriteLocked(true); FAILED(hr)) return hr;
    const TermCharOffForBlock termCharOff(io_.get(), ioWithStop_.get());
    if (HRESULT hr = StartReplyIfIdle(); FAILED(hr)) return hr;
    if (HRESULT hr = SeekBlockStart(seekToBlock != VARIANT_FALSE); FAILED(hr)) return hr;
    protocol::BlockHeader header;
    if (HRESULT hr = ReadBlockHeader(&header); FAILED(hr)) return hr;
    std::vector<std::uint8_t> bytes;
    if (HRESULT hr = ReadBlockData(header, elementSize, &bytes); FAILED(hr)) return hr;
    if (bigEndian_ != (std::endian::native == std::endian::big)) {
        protocol::SwapElementBytes(bytes.data(), bytes.size(), elementSize);
    }
    if (flushToEND != VARIANT_FALSE) {
        if (HRESULT hr = FlushReadLocked(); FAILED(hr)) return hr;
    }
    return PutArray(elementType, bytes.data(), bytes.size() / elementSize, block);
}

HRESULT FormattedIO::FlushRead() {
    std::lock_guard lock(mutex_);
    if (!io_) return NoIo();
    return FlushReadLocked();
}

HRESULT FormattedIO::SetBufferSize(BufferMask mask, LONG size) {
    if (size < 1) return ReportHresult(E_INVALIDARG, "A buffer holds at least one byte.");
    if ((mask & IO_IN_AND_OUT_BUFS) == 0) return ReportHresult(E_INVALIDARG, "Unknown buffer mask.");
    std::lock_guard lock(mutex_);
    if (mask & IO_OUT_BUF) {
        if (writeBuffer_.size() > static_cast<std::size_t>(size) && io_) {
            if (HRESULT hr = FlushWriteLocked(false); FAILED(hr)) return hr;
        }
        writeCapacity_ = static_cast<std::size_t>(size);
    }
    if (mask & IO_IN_BUF) {
        // Unread data stays; the new size applies from the next read on.
        readCapacity_ = static_cast<std::size_t>(size);
        if (!HasBuffered()) {
            readBuffer_.clear();
            readPos_ = readLen_ = 0;
        }
    }
    return S_OK;
}

}  // namespace visa
