// What every object of the object model shares: one COM identity over many
// interface facets, its own lock, error manager, cache and command stack, its
// place in the tree (root, parent, index) and the collections of its children.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/model_desc.h"
#include "core/io_manager.h"
#include "services/cache.h"
#include "services/error_manager.h"
#include "zentrava/raii.h"

namespace ztv {
class Zentrava;
}

namespace ztv::engine {

class CChildNode;

class CObjectNode {
public:
    explicit CObjectNode(const NodeClassDesc& cls, LONG index = 0) : class_(cls), index_(index) {}
    virtual ~CObjectNode();
    CObjectNode(const CObjectNode&) = delete;
    CObjectNode& operator=(const CObjectNode&) = delete;

    // COM identity of the node; facets forward to these.
    virtual IUnknown* Identity() = 0;
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

    virtual std::recursive_mutex& Lock() = 0;
    virtual CErrorManager& Errors() = 0;
    virtual CCacheManager& Cache() = 0;
    virtual CDriverIOManager& IO() = 0;
    // The driver object this node belongs to; null once the session that
    // built it has ended.
    virtual Zentrava* AttachedRoot() = 0;
    virtual CObjectNode* ParentNode() = 0;

    const NodeClassDesc& Class() const { return class_; }
    LONG Index() const { return index_; }

    // Builds one facet per interface of the class; E_OUTOFMEMORY on failure.
    HRESULT CreateFacets();
    // The facet of an interface, with a new reference; E_NOINTERFACE if the
    // class does not carry it.
    HRESULT QueryFacet(REFIID riid, void** ppv);
    void* DefaultInterface() { return facets_.empty() ? nullptr : facets_.front().second->Interface(); }
    bool HasFacet(REFIID riid) const;

    // Collections of child instances, built at Initialize and released at Close.
    // Call with this node's lock held.
    HRESULT BuildCollections(Zentrava& root);
    void ReleaseCollections();
    // Empties the cache of this node and of every node below it, taking each
    // child's lock after this node's.
    void InvalidateTree();

    struct Collection {
        const NodeClassDesc* instanceClass;
        std::vector<com::ComPtr<CChildNode>> instances;  // in index order
    };
    const Collection* FindCollection(std::string_view className) const;

private:
    const NodeClassDesc& class_;
    const LONG index_;
    std::vector<std::pair<const IID*, std::unique_ptr<CFacet>>> facets_;
    std::vector<Collection> collections_;
};

// A measurement or marker: an instance of a repeated capability with its own
// lock, error manager, cache and command stack over the root's I/O session.
class CChildNode final : public ISupportErrorInfo, public CObjectNode {
public:
    static HRESULT Create(const NodeClassDesc& cls, Zentrava& root, CObjectNode& parent, LONG index, CChildNode** out);

    // IUnknown, ISupportErrorInfo
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override;

    IUnknown* Identity() override { return static_cast<ISupportErrorInfo*>(this); }
    std::recursive_mutex& Lock() override { return mutex_; }
    CErrorManager& Errors() override { return errors_; }
    CCacheManager& Cache() override { return cache_; }
    CDriverIOManager& IO() override { return io_; }
    Zentrava* AttachedRoot() override { return root_.load(std::memory_order_acquire); }
    CObjectNode* ParentNode() override { return parent_.load(std::memory_order_acquire); }

    const std::string& PhysicalName() const { return name_; }
    // Cuts the node and everything below it off its session; its members then
    // report that the driver is not initialized. Call with the root's lock held.
    void Detach();

private:
    CChildNode(const NodeClassDesc& cls, Zentrava& root, CObjectNode& parent, LONG index);
    ~CChildNode() override;

    std::atomic<ULONG> refs_{1};
    std::recursive_mutex mutex_;
    std::atomic<Zentrava*> root_;
    std::atomic<CObjectNode*> parent_;
    std::string name_;
    CErrorManager errors_;
    CCacheManager cache_;
    CDriverIOManager io_;
};

}  // namespace ztv::engine
