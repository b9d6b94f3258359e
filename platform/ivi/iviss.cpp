// The IVI-C shared session component.
//
// The table maps handles to reference-counted session records. Every call
// copies the record's pointer out of the table under the table mutex and then
// works on the record alone, so a concurrent Dispose only ever removes the
// table entry; the record dies with its last user. The session lock is kept
// as plain data (owner thread and depth) rather than a std::recursive_mutex,
// because a session may be disposed while another thread holds its lock and
// destroying a locked mutex is undefined.
#include "platform/ivi/iviss.h"

#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

namespace {

struct ErrorRecord {
    ViStatus code = VI_SUCCESS;
    std::string description;
};

struct Session {
    std::mutex guard;  // protects every field below
    std::condition_variable lockReleased;
    ViAddr data = VI_NULL;
    ErrorRecord error;
    std::thread::id lockOwner;
    unsigned lockDepth = 0;
    bool disposed = false;
};

class SessionTable {
public:
    ViStatus Add(ViSession* handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (nextHandle_ == std::numeric_limits<ViSession>::max()) return IVISESSION_ERROR_TOO_MANY_SESSIONS;
        ViSession issued = nextHandle_++;
        sessions_.emplace(issued, std::make_shared<Session>());
        *handle = issued;
        return VI_SUCCESS;
    }

    std::shared_ptr<Session> Find(ViSession handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = sessions_.find(handle);
        return found == sessions_.end() ? nullptr : found->second;
    }

    std::shared_ptr<Session> Remove(ViSession handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = sessions_.find(handle);
        if (found == sessions_.end()) return nullptr;
        std::shared_ptr<Session> removed = std::move(found->second);
        sessions_.erase(found);
        return removed;
    }

private:
    std::mutex mutex_;
    // Handles only grow, so a closed handle can never name a later session.
    ViSession nextHandle_ = 0x1000;
    std::unordered_map<ViSession, std::shared_ptr<Session>> sessions_;
};

SessionTable& Table() {
    // Never destroyed: threads may still use sessions while statics unwind at exit.
    static SessionTable* table = new SessionTable;
    return *table;
}

thread_local ErrorRecord threadError;

// Reading the error with a buffer hands it over and clears the record; asking
// for the size only (no buffer or size 0) leaves it for the real read.
ViStatus CopyOutError(ErrorRecord& record, ViInt32 bufferSize, ViStatus* code, ViChar description[]) {
    if (code) *code = record.code;
    const std::string text = record.description;
    const auto needed = static_cast<ViInt32>(text.size() + 1);
    if (!description || bufferSize == 0) return needed;
    record = ErrorRecord{};
    if (bufferSize < 0 || bufferSize >= needed) {
        std::memcpy(description, text.c_str(), text.size() + 1);
        return VI_SUCCESS;
    }
    std::memcpy(description, text.data(), static_cast<size_t>(bufferSize - 1));
    description[bufferSize - 1] = '\0';
    return needed;
}

ErrorRecord MakeRecord(ViStatus code, ViConstString description) {
    return ErrorRecord{code, description ? std::string(description) : std::string()};
}

}  // namespace

extern "C" {

ViStatus IviSession_New(ViSession* vi) {
    if (!vi) return IVISESSION_ERROR_NULL_POINTER;
    return Table().Add(vi);
}

ViStatus IviSession_Dispose(ViSession vi) {
    std::shared_ptr<Session> session = Table().Remove(vi);
    if (!session) return IVISESSION_ERROR_INVALID_SESSION;
    std::lock_guard<std::mutex> lock(session->guard);
    session->disposed = true;
    // Threads waiting for the lock give up with an invalid-session status.
    session->lockReleased.notify_all();
    return VI_SUCCESS;
}

ViStatus IviSession_SetDataPtr(ViSession vi, ViAddr data) {
    std::shared_ptr<Session> session = Table().Find(vi);
    if (!session) return IVISESSION_ERROR_INVALID_SESSION;
    std::lock_guard<std::mutex> lock(session->guard);
    session->data = data;
    return VI_SUCCESS;
}

ViStatus IviSession_GetDataPtr(ViSession vi, ViAddr* data) {
    std::shared_ptr<Session> session = Table().Find(vi);
    if (!session) return IVISESSION_ERROR_INVALID_SESSION;
    if (!data) return IVISESSION_ERROR_NULL_POINTER;
    std::lock_guard<std::mutex> lock(session->guard);
    *data = session->data;
    return VI_SUCCESS;
}

ViStatus IviSession_Lock(ViSession vi, ViBoolean* callerHasLock) {
    std::shared_ptr<Session> session = Table().Find(vi);
    if (!session) return IVISESSION_ERROR_INVALID_SESSION;
    if (callerHasLock && *callerHasLock) return VI_SUCCESS;
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(session->guard);
    session->lockReleased.wait(
        lock, [&] { return session->disposed || session->lockDepth == 0 || session->lockOwner == self; });
    if (session->disposed) return IVISESSION_ERROR_INVALID_SESSION;
    session->lockOwner = self;
    ++session->lockDepth;
    if (callerHasLock) *callerHasLock = VI_TRUE;
    return VI_SUCCESS;
}

ViStatus IviSession_Unlock(ViSession vi, ViBoolean* callerHasLock) {
    std::shared_ptr<Session> session = Table().Find(vi);
    if (!session) return IVISESSION_ERROR_INVALID_SESSION;
    if (callerHasLock && !*callerHasLock) return VI_SUCCESS;
    std::lock_guard<std::mutex> lock(session->guard);
    if (session->lockDepth == 0 || session->lockOwner != std::this_thread::get_id()) return IVISESSION_ERROR_NOT_LOCKED;
    if (--session->lockDepth == 0) {
        session->lockOwner = std::thread::id();
        session->lockReleased.notify_one();
    }
    if (callerHasLock) *callerHasLock = VI_FALSE;
    return VI_SUCCESS;
}

ViStatus IviSession_SetError(ViSession vi, ViStatus code, ViConstString description) {
    if (vi == VI_NULL) {
        threadError = MakeRecord(code, description);
        return VI_SUCCESS;
    }
    std::shared_ptr<Session> session = Table().Find(vi);
    if (!session) return IVISESSION_ERROR_INVALID_SESSION;
    ErrorRecord record = MakeRecord(code, description);
    std::lock_guard<std::mutex> lock(session->guard);
    session->error = std::move(record);
    return VI_SUCCESS;
}

ViStatus IviSession_GetError(ViSession vi, ViInt32 bufferSize, ViStatus* code, ViChar description[]) {
    if (vi == VI_NULL) return CopyOutError(threadError, bufferSize, code, description);
    std::shared_ptr<Session> session = Table().Find(vi);
    if (!session) return IVISESSION_ERROR_INVALID_SESSION;
    std::lock_guard<std::mutex> lock(session->guard);
    return CopyOutError(session->error, bufferSize, code, description);
}

ViStatus IviSession_ClearError(ViSession vi) { return IviSession_SetError(vi, VI_SUCCESS, VI_NULL); }

}  // extern "C"
