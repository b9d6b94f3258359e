#include "services/tracing/trace_owner.h"

#include <new>
#include <pugixml.hpp>

#include "services/driver_identity.h"
#include "services/tracing/trace_files.h"

namespace ztv {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRootName = "TraceRecords";

std::time_t SystemClock() { return std::time(nullptr); }

}  // namespace

bool SaveIsDue(std::int64_t secondsSinceSave, LONG intervalMinutes) {
    const std::int64_t minutesField = (secondsSinceSave % 3600) / 60;
    return minutesField >= intervalMinutes;
}

CTraceOwner::CTraceOwner() : clock_(&SystemClock) {}

CTraceOwner::~CTraceOwner() = default;

void CTraceOwner::Configure(const TraceSettings& settings) {
    SetSizeMax(settings.sizeMax);
    SetTraceArrays(settings.arrays);
    SetArraySizeMax(settings.arraySizeMax);
    SetSaveInterval(settings.saveInterval);
    fileName_ = settings.name;
    transform_ = settings.transform;
}

void CTraceOwner::ReplaceDocument(std::unique_ptr<pugi::xml_document> document) {
    document_ = std::move(document);
    ++generation_;
}

HRESULT CTraceOwner::SetEnabled(bool on) {
    if (on && !GetEnabled()) {
        std::unique_ptr<pugi::xml_document> document(new (std::nothrow) pugi::xml_document);
        if (!document) return E_OUTOFMEMORY;
        ReplaceDocument(std::move(document));
        SetEnabledFlag(true);
    } else if (!on && GetEnabled()) {
        ReplaceDocument(nullptr);
        if (GetFileState() == TraceFileState::NotStarted) return E_UNEXPECTED;
        SetFileState(TraceFileState::NotStarted);
        SetEnabledFlag(false);
    }
    return S_OK;
}

HRESULT CTraceOwner::BuildDocument(const fs::path& path) {
    auto document = std::make_unique<pugi::xml_document>();
    std::error_code ec;
    if (fs::exists(path, ec)) {
        const unsigned options = pugi::parse_default | pugi::parse_declaration | pugi::parse_pi;
        if (!document->load_file(path.c_str(), options)) return E_FAIL;
        // Appending to some other kind of XML file would spoil it.
        if (std::string_view(document->document_element().name()) != kRootName) return E_FAIL;
    } else {
        document->append_child(pugi::node_declaration).append_attribute("version") = "1.0";
        const fs::path stylesheet = FindStylesheet(transform_, ComponentsFolder(), kDriverVendor);
        if (!stylesheet.empty()) {
            const std::string text = "type=\"text/xsl\" href=\"file:\\\\" + stylesheet.string() + "\"";
            document->append_child(pugi::node_pi).set_name("xml-stylesheet");
            document->last_child().set_value(text.c_str());
        }
        document->append_child(kRootName);
    }
    ReplaceDocument(std::move(document));
    return S_OK;
}

HRESULT CTraceOwner::StartTrace(std::string_view baseName) {
    switch (GetFileState()) {
        case TraceFileState::Recording:
            return E_UNEXPECTED;
        case TraceFileState::Stopped:
            return S_OK;
        case TraceFileState::NotStarted:
            break;
    }
    const fs::path path = TraceFilePath(fileName_, baseName, Now());
    const HRESULT hr = BuildDocument(path);
    if (FAILED(hr)) return hr;
    path_ = path;
    lastSave_ = Now();
    SetFileState(TraceFileState::Recording);
    return S_OK;
}

HRESULT CTraceOwner::Save() {
    if (!document_ || path_.empty()) return E_UNEXPECTED;
    if (!document_->save_file(path_.c_str(), "\t", pugi::format_default, pugi::encoding_utf8)) return E_FAIL;
    HRESULT hr = S_OK;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path_, ec);
    if (!ec && static_cast<std::int64_t>(size) > GetSizeMax()) {
        if (GetEnabled() && GetFileState() != TraceFileState::NotStarted)
            SetFileState(TraceFileState::Stopped);
        else
            hr = E_UNEXPECTED;
    }
    lastSave_ = Now();
    return hr;
}

HRESULT CTraceOwner::SaveIfDue() {
    if (!IsRecording() || !SaveIsDue(Now() - lastSave_, GetSaveInterval())) return S_OK;
    return Save();
}

pugi::xml_node CTraceOwner::Root() const { return document_ ? document_->child(kRootName) : pugi::xml_node(); }

}  // namespace ztv
