#include "core/engine/member_call.h"

#include "core/driver.h"
#include "core/engine/model_tables.h"
#include "services/driver_identity.h"

namespace ztv::engine {

MemberCall::MemberCall(CObjectNode& node, const MemberDesc& desc) : node_(node), desc_(desc) {
    // Root before child, so that one member's command-and-reply sequence
    // never interleaves with another object's on the shared session.
    Zentrava* root = node.AttachedRoot();
    if (root && static_cast<CObjectNode*>(root) != &node) rootLock_ = std::unique_lock(root->Lock());
    ownLock_ = std::unique_lock(node.Lock());
    root_ = node.AttachedRoot() == root ? root : nullptr;
    savedScope_ = node_.Errors().SwapInterface(*desc_.iface->iid);
    if (root_) {
        if (static_cast<CObjectNode*>(root_) != &node_)
            savedRootScope_ = root_->Errors().SwapInterface(*desc_.iface->iid);
        root_->EnterCallContext(desc_);
        tracer_ = &root_->Tracer();
    }
}

MemberCall::~MemberCall() {
    if (root_) {
        root_->LeaveCallContext();
        if (static_cast<CObjectNode*>(root_) != &node_) root_->Errors().SwapInterface(savedRootScope_);
    }
    node_.Errors().SwapInterface(savedScope_);
}

HRESULT MemberCall::RequireInitialized() {
    if (!root_ || !root_->IsInitialized()) return Errors().ReportError(IDS_E_IVI_NOT_INITIALIZED);
    SetErrorInfo(0, nullptr);
    return S_OK;
}

std::string_view MemberCall::Model() const {
    if (!root_ || root_->State().model.empty()) return kDefaultModel;
    return root_->State().model;
}

bool MemberCall::Simulating() const { return root_ && root_->Flags().simulate; }

HRESULT MemberCall::CheckModel() {
    if (desc_.models.Contains(Model())) return S_OK;
    return Errors().ReportError(IDS_E_ZENTRAVA_MODEL_NOT_SUPPORTED, desc_.name);
}

HRESULT MemberCall::CheckAccepted(const EnumDesc& type, LONG value, const char* param) {
    if (IsValueAccepted(type, value, Model())) return S_OK;
    return Errors().ReportInvalidValueError(desc_.name, param, value);
}

HRESULT MemberCall::NullPointer(const char* param) {
    return Errors().ReportError(IDS_E_IVI_NULL_POINTER, desc_.name, param);
}

CommandNumbers MemberCall::Numbers() const {
    CommandNumbers numbers;
    switch (node_.Class().kind) {
        case ObjectKind::Root:
            break;
        case ObjectKind::Measurement:
            numbers.trace = node_.Index() + 1;
            break;
        case ObjectKind::Marker:
            numbers.marker = node_.Index() + 1;
            if (CObjectNode* parent = node_.ParentNode()) numbers.trace = parent->Index() + 1;
            break;
    }
    return numbers;
}

std::string MemberCall::Command(std::size_t i, std::span<const CommandArg> args) const {
    if (i >= desc_.commands.size()) return {};
    return FormatCommandText(desc_.commands[i], Numbers(), args);
}

// ---- model sets and enumeration tables -------------------------------------------

bool ModelSet::Contains(std::string_view model) const {
    if (bits == 0) return true;
    for (std::size_t i = 0; i < kModelNames.size(); ++i)
        if (kModelNames[i] == model) return (bits >> i) & 1U;
    return false;
}

const EnumValueDesc* FindValue(const EnumDesc& type, LONG value) {
    for (std::uint16_t i = 0; i < type.count; ++i)
        if (type.values[i].number == value) return &type.values[i];
    return nullptr;
}

bool IsValueAccepted(const EnumDesc& type, LONG value, std::string_view model) {
    const EnumValueDesc* row = FindValue(type, value);
    return !row || row->models.Contains(model);
}

const char* TokenOf(const EnumDesc& type, LONG value) {
    const EnumValueDesc* row = FindValue(type, value);
    return row ? row->token : nullptr;
}

const EnumValueDesc* ValueOfToken(const EnumDesc& type, std::string_view token) {
    for (std::uint16_t i = 0; i < type.count; ++i)
        if (type.values[i].token && token == type.values[i].token) return &type.values[i];
    return nullptr;
}

}  // namespace ztv::engine
