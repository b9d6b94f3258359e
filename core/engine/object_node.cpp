#include "core/engine/object_node.h"

#include <new>

#include "core/driver.h"

namespace ztv::engine {

CObjectNode::~CObjectNode() { ReleaseCollections(); }

HRESULT CObjectNode::CreateFacets() {
    try {
        facets_.reserve(class_.facetCount);
        for (std::size_t i = 0; i < class_.facetCount; ++i) {
            const FacetEntry& entry = class_.facets[i];
            facets_.emplace_back(entry.iid, std::unique_ptr<CFacet>(entry.create(*this)));
        }
    } catch (const std::bad_alloc&) {
        facets_.clear();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

bool CObjectNode::HasFacet(REFIID riid) const {
    for (const auto& [iid, facet] : facets_)
        if (*iid == riid) return true;
    return false;
}

HRESULT CObjectNode::QueryFacet(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    for (const auto& [iid, facet] : facets_) {
        if (*iid == riid) {
            *ppv = facet->Interface();
            AddRef();
            return S_OK;
        }
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT CObjectNode::BuildCollections(Zentrava& root) {
    ReleaseCollections();
    try {
        collections_.reserve(class_.collectionCount);
        for (std::size_t c = 0; c < class_.collectionCount; ++c) {
            const CollectionDesc& desc = class_.collections[c];
            Collection& collection = collections_.emplace_back(Collection{desc.instanceClass, {}});
            collection.instances.reserve(static_cast<std::size_t>(desc.count));
            for (LONG i = 0; i < desc.count; ++i) {
                CChildNode* child = nullptr;
                const HRESULT hr = CChildNode::Create(*desc.instanceClass, root, *this, i, &child);
                if (FAILED(hr)) {
                    ReleaseCollections();
                    return hr;
                }
                collection.instances.push_back(com::ComPtr<CChildNode>::Adopt(child));
            }
        }
    } catch (const std::bad_alloc&) {
        ReleaseCollections();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CObjectNode::ReleaseCollections() {
    std::vector<Collection> collections;
    collections.swap(collections_);
    for (Collection& collection : collections) {
        for (const com::ComPtr<CChildNode>& child : collection.instances) child->Detach();
    }
}

void CObjectNode::InvalidateTree() {
    Cache().InvalidateAll();
    for (Collection& collection : collections_) {
        for (const com::ComPtr<CChildNode>& child : collection.instances) {
            std::lock_guard lock(child->Lock());
            child->InvalidateTree();
        }
    }
}

const CObjectNode::Collection* CObjectNode::FindCollection(std::string_view className) const {
    for (const Collection& collection : collections_)
        if (className == collection.instanceClass->className) return &collection;
    return nullptr;
}

// ---- CChildNode ---------------------------------------------------------------

namespace {

std::string PhysicalNameOf(const NodeClassDesc& cls, LONG index) {
    return (cls.kind == ObjectKind::Marker ? "Marker" : "Measurement") + std::to_string(index + 1);
}

}  // namespace

CChildNode::CChildNode(const NodeClassDesc& cls, Zentrava& root, CObjectNode& parent, LONG index)
    : CObjectNode(cls, index),
      root_(&root),
      parent_(&parent),
      name_(PhysicalNameOf(cls, index)),
      io_(root.Provider(), errors_, &root.Tracer()) {}

CChildNode::~CChildNode() = default;

HRESULT CChildNode::Create(const NodeClassDesc& cls, Zentrava& root, CObjectNode& parent, LONG index,
                           CChildNode** out) {
    *out = nullptr;
    auto node = com::ComPtr<CChildNode>::Adopt(new (std::nothrow) CChildNode(cls, root, parent, index));
    if (!node) return E_OUTOFMEMORY;
    HRESULT hr = node->CreateFacets();
    if (SUCCEEDED(hr)) {
        std::lock_guard lock(node->mutex_);
        hr = node->BuildCollections(root);
    }
    if (FAILED(hr)) return hr;
    *out = node.Detach();
    return S_OK;
}

void CChildNode::Detach() {
    std::lock_guard lock(mutex_);
    ReleaseCollections();
    root_.store(nullptr, std::memory_order_release);
    parent_.store(nullptr, std::memory_order_release);
}

HRESULT CChildNode::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISupportErrorInfo) {
        *ppv = static_cast<ISupportErrorInfo*>(this);
        AddRef();
        return S_OK;
    }
    return QueryFacet(riid, ppv);
}

ULONG CChildNode::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG CChildNode::Release() {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT CChildNode::InterfaceSupportsErrorInfo(REFIID riid) { return HasFacet(riid) ? S_OK : S_FALSE; }

}  // namespace ztv::engine
