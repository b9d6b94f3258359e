// IFormattedIO488 over any IMessage: buffered formatted writes (a full buffer
// goes out without END, a flush with END ends the message) and buffered reads
// that know where the instrument's message ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/protocol/ieee_block.h"
#include "platform/visa/formatted/real_list_parser.h"
#include "platform/visa/message_read_end.h"
#include "zentrava/raii.h"

namespace visa {

class FormattedIO final : public com::ComObject<FormattedIO, com::Implements<IFormattedIO488, IID_IFormattedIO488>> {
public:
    static constexpr std::size_t kDefaultBufferSize = 4096;

    // Comes back with one reference held by the caller.
    static FormattedIO* Create() { return new FormattedIO(); }

    HRESULT get_IO(IMessage** io) override;
    HRESULT putref_IO(IMessage* io) override;
    HRESULT get_InstrumentBigEndian(VARIANT_BOOL* big) override;
    HRESULT put_InstrumentBigEndian(VARIANT_BOOL big) override;
    HRESULT WriteString(BSTR data, VARIANT_BOOL flushAndEND) override;
    HRESULT WriteNumber(VARIANT data, IEEEASCIIType type, VARIANT_BOOL flushAndEND) override;
    HRESULT WriteList(VARIANT* data, IEEEASCIIType type, BSTR separator, VARIANT_BOOL flushAndEND) override;
    HRESULT WriteIEEEBlock(BSTR command, VARIANT data, VARIANT_BOOL flushAndEND) override;
    HRESULT ReadString(BSTR* text) override;
    HRESULT ReadNumber(IEEEASCIIType type, VARIANT_BOOL flushToEND, VARIANT* value) override;
    HRESULT ReadList(IEEEASCIIType type, BSTR separators, VARIANT* list) override;
    HRESULT ReadIEEEBlock(IEEEBinaryType type, VARIANT_BOOL seekToBlock, VARIANT_BOOL flushToEND,
                          VARIANT* block) override;
    HRESULT FlushWrite(VARIANT_BOOL sendEND) override;
    HRESULT FlushRead() override;
    HRESULT SetBufferSize(BufferMask mask, LONG size) override;

private:
    FormattedIO() = default;
    ~FormattedIO() = default;

    // All below run under mutex_.
    HRESULT NoIo() const;
    HRESULT Append(const void* data, std::size_t size);
    HRESULT Send(const std::uint8_t* data, std::size_t size, bool end);
    HRESULT FlushWriteLocked(bool end);

    HRESULT ReadChunk(std::uint8_t* buffer, std::size_t count, std::size_t* actual, ReadStop* stop);
    bool HasBuffered() const { return readPos_ < readLen_; }
    // Reads the next piece of the reply into the empty read buffer.
    HRESULT Fill();
    // Starts reading the next reply when nothing of the last one is left.
    HRESULT StartReplyIfIdle();
    // Everything up to the end of the current reply.
    HRESULT ReadRest(std::string* text);
    HRESULT ReadRealList(const std::string& separators, VARIANT* list);
    HRESULT ReadExactly(std::uint8_t* data, std::size_t size);
    // Skips to the '#' of a block: over blanks only, or over anything with `seek`.
    HRESULT SeekBlockStart(bool seek);
    HRESULT ReadBlockHeader(protocol::BlockHeader* header);
    HRESULT ReadBlockData(const protocol::BlockHeader& header, std::size_t elementSize,
                          std::vector<std::uint8_t>* bytes);
    // The next byte of the current reply without taking it; -1 at its end.
    HRESULT Peek(int* byte);
    HRESULT ReadToken(std::string* token);
    HRESULT FlushReadLocked();

    std::mutex mutex_;
    com::ComPtr<IMessage> io_;
    com::ComPtr<IMessageReadEnd> ioWithStop_;
    bool bigEndian_ = true;

    std::vector<std::uint8_t> writeBuffer_;
    std::size_t writeCapacity_ = kDefaultBufferSize;
    bool sentWithoutEnd_ = false;  // a message was started and still needs its END

    std::vector<std::uint8_t> readBuffer_;
    std::size_t readCapacity_ = kDefaultBufferSize;
    std::size_t readPos_ = 0;
    std::size_t readLen_ = 0;
    bool readEnded_ = true;              // the data read so far reached the end of its reply
    ReadStop lastStop_ = READ_STOP_END;  // why the last read from the session stopped

    // Kept from one list read to the next, so that reading the same trace
    // again allocates nothing of its size.
    RealListParser listParser_;
    std::vector<std::uint8_t> listChunk_;
};

}  // namespace visa
