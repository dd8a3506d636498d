// Variable bindings, PDUs, targets and packets.
#include "snmp/pdu.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <typeinfo>

#include "snmp/recycler.h"
#include "snmp/sharedblock.h"

namespace devlink {
namespace {

// The object as the given final class of this library; null for another implementation.
template <class T, class I>
T* as_ours(I* object) {
    return object && typeid(*object) == typeid(T) ? static_cast<T*>(object) : nullptr;
}

// A new object of the same class holding a copy of the original (PDUs and targets).
template <class T>
T* clone_by_copy(const T* original, long* r) {
    auto* t = new (std::nothrow) T();
    if (!t) { set_result(r, PMC_E_NOMEM); return nullptr; }
    long rr = t->copy_from(original);
    if (rr) { delete t; set_result(r, rr); return nullptr; }
    set_result(r, 0);
    return t;
}

bool values_equal(const IPmsValue* a, const IPmsValue* b) {
    if (!a || !b) return !a && !b;
    return a->equals(b);
}

class CVarBind final : public IPmsVarBind, public Recycled {
public:
    CVarBind() = default;
    CVarBind(CSharedBlock* block, IPmsOid* oid, IPmsValue* value) : oid_(oid), value_(value) { embedded_.block = block; }
    ~CVarBind() override {
        if (oid_) oid_->release();
        if (value_) value_->release();
    }
    void release() override { release_object(this, embedded_); }
    IPmsVarBind* clone(long* r) const override {
        auto* c = new (std::nothrow) CVarBind();
        if (!c) { set_result(r, PMC_E_NOMEM); return nullptr; }
        long rr = 0;
        if (oid_ && !(c->oid_ = oid_->clone(&rr))) { delete c; set_result(r, rr); return nullptr; }
        if (value_ && !(c->value_ = value_->clone(&rr))) { delete c; set_result(r, rr); return nullptr; }
        c->error_ = error_;
        set_result(r, 0);
        return c;
    }
    bool equals(const IPmsVarBind* o) const override {
        if (!o) return false;
        const IPmsOid* a = oid_;
        const IPmsOid* b = o->get_oid();
        if (!a || !b) { if (a || b) return false; }
        else if (std::strcmp(a->get_text(), b->get_text()) != 0) return false;
        return values_equal(value_, o->get_value()) && error_ == o->get_error();
    }
    long set(IPmsOid* oid, IPmsValue* value) override {
        if (!value) {
            long r = 0;
            value = pms_create_value(PMS_NULL, &r);
            if (!value) return r;
        }
        if (oid_ && oid_ != oid) oid_->release();
        if (value_ && value_ != value) value_->release();
        oid_ = oid;
        value_ = value;
        return 0;
    }
    long set2(IPmsOid* oid, IPmsValue* value) override { return set(oid, value); }
    long detach(IPmsOid** oid, IPmsValue** value) override {
        share_block();
        if (oid) *oid = oid_;
        else if (oid_) oid_->release();
        if (value) *value = value_;
        else if (value_) value_->release();
        oid_ = nullptr;
        value_ = nullptr;
        return 0;
    }
    long set_oid(IPmsOid* oid) override {
        if (oid_ && oid_ != oid) oid_->release();
        oid_ = oid;
        return 0;
    }
    long set_value(IPmsValue* value) override {
        if (value_ && value_ != value) value_->release();
        value_ = value;
        return 0;
    }
    IPmsOid* get_oid() const override { return oid_; }
    IPmsValue* get_value() const override { return value_; }
    long get_error() const override { return error_; }
    void set_error(long e) override { error_ = e; }
    // Its OID and value share its block, unless they came from elsewhere, which shared theirs.
    void share_block() {
        if (embedded_.block) embedded_.block->share();
    }

private:
    IPmsOid* oid_ = nullptr;
    IPmsValue* value_ = nullptr;
    long error_ = 0;
    EmbeddedIn embedded_;
};

// Room for the array of a small list inside the list itself, so the list of a usual single
// request needs no allocation of its own; larger arrays come from the recycler.
struct ListRoom {
    static constexpr size_t kBindings = 4;
    IPmsVarBind* slots[kBindings];
    bool used = false;
};

class ListArrayAllocator {
public:
    using value_type = IPmsVarBind*;
    template <class U>
    struct rebind {
        static_assert(std::is_same_v<U, IPmsVarBind*>, "a list's array holds bindings only");
        using other = ListArrayAllocator;
    };
    explicit ListArrayAllocator(ListRoom* room) : room_(room) {}
    IPmsVarBind** allocate(size_t n) {
        if (n <= ListRoom::kBindings && !room_->used) {
            room_->used = true;
            return room_->slots;
        }
        return RecyclerAllocator<IPmsVarBind*>().allocate(n);
    }
    void deallocate(IPmsVarBind** p, size_t n) noexcept {
        if (p == room_->slots) {
            room_->used = false;
            return;
        }
        RecyclerAllocator<IPmsVarBind*>().deallocate(p, n);
    }
    bool operator==(const ListArrayAllocator& o) const { return room_ == o.room_; }

private:
    ListRoom* room_;
};

class CVarBindList final : public IPmsVarBindList, public Recycled {
public:
    CVarBindList() = default;
    explicit CVarBindList(CSharedBlock* block) { embedded_.block = block; }
    ~CVarBindList() override {
        for (auto* b : items_) b->release();
    }
    void release() override { release_object(this, embedded_); }
    // It may now be released on another thread than the PDU it shares its block with.
    void share_block() {
        if (embedded_.block) embedded_.block->share();
    }
    IPmsVarBindList* clone(long* r) const override { return sub_list_from(0, get_count(), r); }
    bool equals(const IPmsVarBindList* o) const override {
        if (!o || o->get_count() != get_count()) return false;
        for (long i = 0; i < get_count(); ++i)
            if (!items_[static_cast<size_t>(i)]->equals(o->get(i))) return false;
        return true;
    }
    long get_count() const override { return static_cast<long>(items_.size()); }
    long add(IPmsOid* oid, IPmsValue* value) override {
        if (!oid) return PMC_E_INVALID;
        IPmsVarBind* b = make(oid, value);
        if (!b) return PMC_E_NOMEM;
        long r = append(b);
        if (r) { b->detach(nullptr, nullptr); b->release(); }  // ownership stays with the caller
        return r;
    }
    long append(IPmsVarBind* b) override {
        if (!b) return PMC_E_INVALID;
        try {
            // The first bindings go into the list's own room.
            if (items_.capacity() == 0) items_.reserve(ListRoom::kBindings);
            items_.push_back(b);
        } catch (...) {
            return PMC_E_NOMEM;
        }
        return 0;
    }
    long insert_front(IPmsOid* oid, IPmsValue* value) override {
        if (!oid) return PMC_E_INVALID;
        IPmsVarBind* b = make(oid, value);
        if (!b) return PMC_E_NOMEM;
        long r = push_front(b);
        if (r) { b->detach(nullptr, nullptr); b->release(); }
        return r;
    }
    long push_front(IPmsVarBind* b) override {
        if (!b) return PMC_E_INVALID;
        try { items_.insert(items_.begin(), b); } catch (...) { return PMC_E_NOMEM; }
        return 0;
    }
    long remove(long index, IPmsVarBind** out) override {
        if (index < 0 || index >= get_count()) return PMC_E_INVALID;
        IPmsVarBind* b = items_[static_cast<size_t>(index)];
        items_.erase(items_.begin() + index);
        if (out) *out = hand_over(b);
        else b->release();
        return 0;
    }
    long take_front_pair(IPmsOid** oid, IPmsValue** value) override {
        if (oid) *oid = nullptr;
        if (value) *value = nullptr;
        IPmsVarBind* b = take_front();
        if (!b) return PMC_E_NOELEMENT;
        b->detach(oid, value);
        b->release();
        return 0;
    }
    IPmsVarBind* take_front() override {
        if (items_.empty()) return nullptr;
        IPmsVarBind* b = items_.front();
        items_.erase(items_.begin());
        return hand_over(b);
    }
    IPmsVarBind* get(long i) const override { return i >= 0 && i < get_count() ? items_[static_cast<size_t>(i)] : nullptr; }
    IPmsVarBindList* sub_list(long start, long count, long* r) const override {
        if (start < 0 || start >= get_count() || count < 0) { set_result(r, PMC_E_INVALID); return nullptr; }
        return sub_list_from(start, count, r);
    }
    IPmsVarBindList* split_front(long count, long* r) override {
        auto* l = new (std::nothrow) CVarBindList();
        if (!l) { set_result(r, PMC_E_NOMEM); return nullptr; }
        long n = count < 0 ? 0 : count > get_count() ? get_count() : count;
        try {
            l->items_.assign(items_.begin(), items_.begin() + n);
            for (IPmsVarBind* b : l->items_) hand_over(b);
        } catch (...) {
            delete l;
            set_result(r, PMC_E_NOMEM);
            return nullptr;
        }
        items_.erase(items_.begin(), items_.begin() + n);
        set_result(r, 0);
        return l;
    }
    void mark_error(long status, long index) override {
        for (long i = 0; i < get_count(); ++i) items_[static_cast<size_t>(i)]->set_error(i + 1 == index ? status : PMS_ERROR_OTHER);
    }
    void clear_errors(long status) override {
        for (auto* b : items_) b->set_error(status);
    }
    long reserve(size_t count) {
        try { items_.reserve(count); } catch (...) { return PMC_E_NOMEM; }
        return 0;
    }
    void truncate(long count) override {
        while (get_count() > count && count >= 0) {
            items_.back()->release();
            items_.pop_back();
        }
    }

private:
    // A binding leaving this list may be released on another thread than its block's rest.
    static IPmsVarBind* hand_over(IPmsVarBind* b) {
        if (auto* ours = as_ours<CVarBind>(b)) ours->share_block();
        return b;
    }
    static IPmsVarBind* make(IPmsOid* oid, IPmsValue* value) {
        long r = 0;
        IPmsVarBind* b = pms_create_varbind(&r);
        if (!b) return nullptr;
        if (b->set(oid, value) != 0) { b->release(); return nullptr; }
        return b;
    }
    IPmsVarBindList* sub_list_from(long start, long count, long* r) const {
        auto* l = new (std::nothrow) CVarBindList();
        if (!l) { set_result(r, PMC_E_NOMEM); return nullptr; }
        for (long i = start; i < get_count() && i - start < count; ++i) {
            long rr = 0;
            IPmsVarBind* c = items_[static_cast<size_t>(i)]->clone(&rr);
            if (!c || l->append(c) != 0) {
                if (c) c->release();
                delete l;
                set_result(r, rr ? rr : PMC_E_NOMEM);
                return nullptr;
            }
        }
        set_result(r, 0);
        return l;
    }
    ListRoom room_;  // before items_, which may use it
    std::vector<IPmsVarBind*, ListArrayAllocator> items_{ListArrayAllocator(&room_)};
    EmbeddedIn embedded_;
};

// A PDU made by pms_create_pdu shares one allocation with the first list it makes for itself.
class CPdu final : public IPmsPdu, public Recycled {
public:
    CPdu() = default;
    explicit CPdu(CSharedBlock* block) { embedded_.block = block; }
    ~CPdu() override { clear_children(); }
    void release() override { release_object(this, embedded_); }
    void reset() override {
        clear_children();
        type_ = PMS_PDU_NONE;
        error_status_ = -1;
        error_index_ = 0;
    }
    IPmsPdu* clone(long* r) const override { return clone_by_copy(this, r); }
    long copy_from(const IPmsPdu* o) override {
        if (!o) return PMC_E_INVALID;
        IPmsVarBindList* l = nullptr;
        long r = 0;
        if (o->get_varbinds() && !(l = o->get_varbinds()->clone(&r))) return r;
        r = copy_header(o);
        if (r) { if (l) l->release(); return r; }
        set_varbinds(l);
        return 0;
    }
    long copy_header(const IPmsPdu* o) override {
        if (!o) return PMC_E_INVALID;
        long r = 0;
        IPmsValue* ts = nullptr;
        IPmsOid* trap = nullptr;
        if (o->get_time_stamp() && !(ts = o->get_time_stamp()->clone(&r))) return r;
        if (o->get_trap_oid() && !(trap = o->get_trap_oid()->clone(&r))) { if (ts) ts->release(); return r; }
        type_ = o->get_type();
        request_id_ = o->get_request_id();
        error_status_ = o->get_error_status();
        error_index_ = o->get_error_index();
        if (time_stamp_) time_stamp_->release();
        if (trap_oid_) trap_oid_->release();
        time_stamp_ = ts;
        trap_oid_ = trap;
        return 0;
    }
    bool equals(const IPmsPdu* o) const override {
        if (!o || type_ == PMS_PDU_NONE || o->get_type() != type_) return false;
        if (type_ == PMS_PDU_TRAP) {
            if (!values_equal(time_stamp_, o->get_time_stamp())) return false;
            if (!values_equal(trap_oid_, o->get_trap_oid())) return false;
        } else if (request_id_ != o->get_request_id() || error_index_ != o->get_error_index() ||
                   error_status_ != o->get_error_status()) {
            return false;
        }
        const IPmsVarBindList* a = varbinds_;
        const IPmsVarBindList* b = o->get_varbinds();
        if (!a || !b) return !a && !b;
        return a->equals(b);
    }
    long get_type() const override { return type_; }
    void set_type(long t) override { type_ = t; }
    IPmsVarBindList* get_varbinds() const override { return varbinds_; }
    void set_varbinds(IPmsVarBindList* l) override {
        if (varbinds_ && varbinds_ != l) varbinds_->release();
        varbinds_ = l;
    }
    IPmsVarBindList* take_varbinds() override {
        IPmsVarBindList* l = varbinds_;
        varbinds_ = nullptr;
        if (auto* ours = as_ours<CVarBindList>(l)) ours->share_block();
        return l;
    }
    long add(IPmsOid* oid, IPmsValue* value) override { return ensure() ? varbinds_->add(oid, value) : PMC_E_NOMEM; }
    long append(IPmsVarBind* b) override { return ensure() ? varbinds_->append(b) : PMC_E_NOMEM; }
    long insert_front(IPmsOid* oid, IPmsValue* value) override { return ensure() ? varbinds_->insert_front(oid, value) : PMC_E_NOMEM; }
    long push_front(IPmsVarBind* b) override { return ensure() ? varbinds_->push_front(b) : PMC_E_NOMEM; }
    long take_front_pair(IPmsOid** oid, IPmsValue** value) override {
        if (!varbinds_) {
            if (oid) *oid = nullptr;
            if (value) *value = nullptr;
            return PMC_E_NOELEMENT;
        }
        return varbinds_->take_front_pair(oid, value);
    }
    IPmsVarBind* take_front() override { return varbinds_ ? varbinds_->take_front() : nullptr; }
    long get_request_id() const override { return request_id_; }
    long get_error_status() const override { return error_status_; }
    long get_error_index() const override { return error_index_; }
    void set_request_id(long id) override { request_id_ = static_cast<int32_t>(id); }
    void set_error_status(long s) override { error_status_ = static_cast<int32_t>(s); }
    void set_error_index(long i) override { error_index_ = static_cast<int32_t>(i); }
    IPmsValue* get_time_stamp() const override { return time_stamp_; }
    IPmsOid* get_trap_oid() const override { return trap_oid_; }
    IPmsValue* take_time_stamp() override { IPmsValue* v = time_stamp_; time_stamp_ = nullptr; return v; }
    IPmsOid* take_trap_oid() override { IPmsOid* v = trap_oid_; trap_oid_ = nullptr; return v; }
    long set_time_stamp(IPmsValue* v) override {
        if (!v || v->get_type() != PMS_TIMETICKS) return PMC_E_INVALID;
        if (time_stamp_ && time_stamp_ != v) time_stamp_->release();
        time_stamp_ = v;
        return 0;
    }
    long set_trap_oid(IPmsValue* v) override {
        if (!v || v->get_type() != PMS_OID || !v->as_oid()) return PMC_E_INVALID;
        if (trap_oid_ && trap_oid_ != v->as_oid()) trap_oid_->release();
        trap_oid_ = v->as_oid();
        return 0;
    }

    // The PDU's list, made when it has none; null when out of memory.
    IPmsVarBindList* ensure() {
        if (varbinds_) return varbinds_;
        if (embedded_.block && !own_list_made_) {
            own_list_made_ = true;
            embedded_.block->add_objects(1);
            return varbinds_ = new (embedded_.block->slot(1)) CVarBindList(embedded_.block);
        }
        return varbinds_ = pms_create_varbind_list(nullptr);
    }

private:
    void clear_children() {
        if (varbinds_) varbinds_->release();
        if (time_stamp_) time_stamp_->release();
        if (trap_oid_) trap_oid_->release();
        varbinds_ = nullptr;
        time_stamp_ = nullptr;
        trap_oid_ = nullptr;
    }
    long type_ = PMS_PDU_NONE;
    IPmsVarBindList* varbinds_ = nullptr;
    int32_t request_id_ = 0;
    int32_t error_status_ = 0;
    int32_t error_index_ = 0;
    IPmsValue* time_stamp_ = nullptr;
    IPmsOid* trap_oid_ = nullptr;
    EmbeddedIn embedded_;
    bool own_list_made_ = false;  // the block's list slot is used once
};

// ---------------------------------------------------------------------------------------------
class CTargetBase : public IPmsSnmpTarget, public Recycled {
public:
    ~CTargetBase() override {
        if (address_) address_->release();
    }
    void release() override { delete this; }
    long set_version(long v) override { return version_ = static_cast<int32_t>(v); }
    long set_timeout(long v) override { return timeout_ = static_cast<int32_t>(v); }
    long set_retries(long v) override { return retries_ = static_cast<int32_t>(v); }
    unsigned long set_max_size(unsigned long v) override { return max_size_ = static_cast<uint32_t>(v); }
    unsigned short set_port(unsigned short v) override { return port_ = v; }
    long get_version() const override { return version_; }
    long get_timeout() const override { return timeout_; }
    long get_retries() const override { return retries_; }
    unsigned long get_max_size() const override { return max_size_; }
    unsigned short get_port() const override { return port_; }
    long set_address(const IPmcNetworkAddress* a) override {
        IPmcNetworkAddress* c = nullptr;
        if (a) {
            long r = a->clone(&c);
            if (r) return r;
        }
        if (address_) address_->release();
        address_ = c;
        return 0;
    }
    IPmcNetworkAddress* get_address() const override { return address_; }
    IPmsCommunity* as_community() override { return nullptr; }
    const IPmsCommunity* as_community() const override { return nullptr; }
    IPmsUsm* as_usm() override { return nullptr; }
    const IPmsUsm* as_usm() const override { return nullptr; }

protected:
    long copy_common(const IPmsSnmpTarget* o) {
        version_ = static_cast<int32_t>(o->get_version());
        timeout_ = static_cast<int32_t>(o->get_timeout());
        retries_ = static_cast<int32_t>(o->get_retries());
        max_size_ = static_cast<uint32_t>(o->get_max_size());
        port_ = o->get_port();
        return set_address(o->get_address());
    }
    int32_t version_ = -1;
    int32_t timeout_ = -1;
    int32_t retries_ = 0;
    uint32_t max_size_ = 0;
    IPmcNetworkAddress* address_ = nullptr;
    unsigned short port_ = 0;
};


class CCommunityTarget final : public CTargetBase, public IPmsCommunity {
public:
    long accept(IPmsTargetVisitor* v) override { return v ? v->visit_community_target(this) : PMC_E_INVALID; }
    void clear_credentials() override { has_ = false; community_.clear(); }
    IPmsSnmpTarget* clone(long* r) const override { return clone_by_copy(this, r); }
    long copy_from(const IPmsSnmpTarget* o) override {
        if (!o) return PMC_E_INVALID;
        long r = copy_common(o);
        if (r) return r;
        const IPmsCommunity* c = o->as_community();
        if (!c) return PMC_E_INVALID;
        return set_community(c->get_community());
    }
    bool equals(const IPmsSnmpTarget* o) const override {
        if (!o) return false;
        const IPmsCommunity* c = o->as_community();
        if (!c) return false;
        const char* a = get_community();
        const char* b = c->get_community();
        if (!a || !b) return !a && !b;
        return std::strcmp(a, b) == 0;
    }
    long get_kind() const override { return PMS_TARGET_COMMUNITY; }
    long query_interface(long iid, void** out) override {
        if (!out) return PMC_E_INVALID;
        *out = nullptr;
        if (iid == 0 || iid == 1) *out = static_cast<IPmsSnmpTarget*>(this);
        else if (iid == 2 || iid == 3) *out = static_cast<IPmsCommunity*>(this);
        return *out ? 0 : PMC_E_NOINTERFACE;
    }
    long set_community(const char* t) override {
        if (!t) { clear_credentials(); return 0; }
        try { community_.assign(t); } catch (...) { return PMC_E_NOMEM; }
        has_ = true;
        return 0;
    }
    // The community with its length (the codec's path; the text may hold zero bytes).
    long set_community_bytes(const char* t, size_t n) {
        try { community_.assign(t, n); } catch (...) { return PMC_E_NOMEM; }
        has_ = true;
        return 0;
    }
    const char* get_community() const override { return has_ ? community_.c_str() : nullptr; }
    IPmsCommunity* as_community() override { return this; }
    const IPmsCommunity* as_community() const override { return this; }

private:
    std::string community_;
    bool has_ = false;
};

class CUsmTarget final : public CTargetBase, public IPmsUsm {
public:
    ~CUsmTarget() override {
        if (engine_) engine_->release();
    }
    long accept(IPmsTargetVisitor* v) override { return v ? v->visit_usm_target(this) : PMC_E_INVALID; }
    void clear_credentials() override {}
    IPmsSnmpTarget* clone(long* r) const override { return clone_by_copy(this, r); }
    long copy_from(const IPmsSnmpTarget* o) override {
        if (!o) return PMC_E_INVALID;
        long r = copy_common(o);
        if (r) return r;
        const IPmsUsm* u = o->as_usm();
        if (!u) return PMC_E_INVALID;
        set_user_name(u->get_user_name());
        level_ = u->get_security_level();
        auth_proto_ = u->get_auth_protocol();
        priv_proto_ = u->get_priv_protocol();
        set_auth_pass(u->get_auth_pass());
        set_priv_pass(u->get_priv_pass());
        set_context_name(u->get_context_name());
        IPmcBytes* e = u->get_engine_id();
        return set_engine_id(e ? e->get_data() : nullptr, e ? e->get_length() : 0);
    }
    bool equals(const IPmsSnmpTarget* o) const override {
        if (!o) return false;
        const IPmsUsm* u = o->as_usm();
        if (!u) return false;
        return user_ == u->get_user_name() && level_ == u->get_security_level() && auth_proto_ == u->get_auth_protocol() &&
               priv_proto_ == u->get_priv_protocol() && auth_ == u->get_auth_pass() && priv_ == u->get_priv_pass() &&
               context_ == u->get_context_name();
    }
    long get_kind() const override { return PMS_TARGET_USM; }
    long query_interface(long iid, void** out) override {
        if (!out) return PMC_E_INVALID;
        *out = nullptr;
        if (iid == 0 || iid == 1) *out = static_cast<IPmsSnmpTarget*>(this);
        else if (iid == 4 || iid == 5) *out = static_cast<IPmsUsm*>(this);
        return *out ? 0 : PMC_E_NOINTERFACE;
    }
    const char* get_user_name() const override { return user_.c_str(); }
    long get_security_level() const override { return level_; }
    long get_auth_protocol() const override { return auth_proto_; }
    long get_priv_protocol() const override { return priv_proto_; }
    const char* get_auth_pass() const override { return auth_.c_str(); }
    const char* get_priv_pass() const override { return priv_.c_str(); }
    const char* get_context_name() const override { return context_.c_str(); }
    IPmcBytes* get_engine_id() const override { return engine_; }
    long set_user_name(const char* n) override {
        if (n && std::strlen(n) > 32) return PMC_E_INVALID;
        user_ = n ? n : "";
        return 0;
    }
    long set_security_level(long l) override { level_ = l; return 0; }
    long set_auth_protocol(long p) override { auth_proto_ = p; return 0; }
    long set_priv_protocol(long p) override { priv_proto_ = p; return 0; }
    long set_auth_pass(const char* p) override { auth_ = p ? p : ""; return 0; }
    long set_priv_pass(const char* p) override { priv_ = p ? p : ""; return 0; }
    long set_context_name(const char* n) override { context_ = n ? n : ""; return 0; }
    long set_engine_id(const void* d, long n) override {
        if (!engine_) {
            long r = 0;
            engine_ = pmc_create_bytes(&r);
            if (!engine_) return r;
        }
        return engine_->set(d, d ? n : 0);
    }
    IPmsUsm* as_usm() override { return this; }
    const IPmsUsm* as_usm() const override { return this; }

private:
    std::string user_, auth_, priv_, context_;
    long level_ = 0, auth_proto_ = 0, priv_proto_ = 0;
    IPmcBytes* engine_ = nullptr;
};

class CPacket final : public IPmsSnmpPacket {
public:
    ~CPacket() override {
        if (pdu_) pdu_->release();
        if (target_) target_->release();
    }
    void release() override { delete this; }
    IPmsSnmpPacket* clone(long* r) const override {
        auto* p = new (std::nothrow) CPacket();
        if (!p) { set_result(r, PMC_E_NOMEM); return nullptr; }
        long rr = 0;
        if (pdu_ && !(p->pdu_ = pdu_->clone(&rr))) { delete p; set_result(r, rr); return nullptr; }
        if (target_ && !(p->target_ = target_->clone(&rr))) { delete p; set_result(r, rr); return nullptr; }
        set_result(r, 0);
        return p;
    }
    bool equals(const IPmsSnmpPacket* o) const override {
        if (!o) return false;
        const IPmsSnmpTarget* ot = o->get_target();
        const IPmsPdu* op = o->get_pdu();
        bool t = (!target_ || !ot) ? (!target_ && !ot) : target_->equals(ot);
        bool p = (!pdu_ || !op) ? (!pdu_ && !op) : pdu_->equals(op);
        return t && p;
    }
    void set_target(IPmsSnmpTarget* t) override {
        if (target_ && target_ != t) target_->release();
        target_ = t;
    }
    void set_pdu(IPmsPdu* p) override {
        if (pdu_ && pdu_ != p) pdu_->release();
        pdu_ = p;
    }
    IPmsSnmpTarget* take_target() override { auto* t = target_; target_ = nullptr; return t; }
    IPmsPdu* take_pdu() override { auto* p = pdu_; pdu_ = nullptr; return p; }
    IPmsSnmpTarget* get_target() const override { return target_; }
    IPmsPdu* get_pdu() const override { return pdu_; }

private:
    IPmsPdu* pdu_ = nullptr;
    IPmsSnmpTarget* target_ = nullptr;
};

template <class T>
T* make(long* r) {
    T* t = new (std::nothrow) T();
    set_result(r, t ? PMC_OK : PMC_E_NOMEM);
    return t;
}

}  // namespace

IPmsVarBind* pms_create_varbind(long* r) { return make<CVarBind>(r); }

CSharedBlock* pms_prepare_decoded_list(IPmsVarBindList* list, size_t count, long* r) {
    set_result(r, 0);
    auto* ours = as_ours<CVarBindList>(list);
    if (!ours || ours->get_count() != 0) return nullptr;
    if (ours->reserve(count) != 0) {
        set_result(r, PMC_E_NOMEM);
        return nullptr;
    }
    return pms_create_decoded_block(count, r);
}

// Every binding takes three slots of the same size (pms_decoded_slot).
CSharedBlock* pms_create_decoded_block(size_t count, long* r) {
    const size_t slot = std::max(slot_size_of<CVarBind>(), pms_value_slot_size());
    CSharedBlock* block = count <= SIZE_MAX / 3 ? CSharedBlock::create(slot, 3 * count) : nullptr;
    set_result(r, block ? PMC_OK : PMC_E_NOMEM);
    return block;
}

long pms_append_decoded_varbind(IPmsVarBindList* list, CSharedBlock* block, size_t index, IPmsOid* name,
                                const PmsDecodedValue& value) {
    long r = 0;
    IPmsValue* v = pms_create_decoded_value_in(value, block, pms_decoded_slot(block, index, PmsDecodedPart::Value), &r);
    if (!v) {
        name->as_value()->release();
        return r;
    }
    auto* b = new (pms_decoded_slot(block, index, PmsDecodedPart::Binding)) CVarBind(block, name, v);
    block->add_objects(1);
    r = static_cast<CVarBindList*>(list)->append(b);
    if (r) b->release();
    return r;
}

IPmsVarBindList* pms_create_varbind_list(long* r) { return make<CVarBindList>(r); }
IPmsPdu* pms_create_pdu(long* r) {
    CSharedBlock* block = CSharedBlock::create(std::max(slot_size_of<CPdu>(), slot_size_of<CVarBindList>()), 2);
    set_result(r, block ? PMC_OK : PMC_E_NOMEM);
    return block ? new (block->slot(0)) CPdu(block) : nullptr;  // the PDU takes over the creator's hold
}

IPmsVarBindList* pms_pdu_varbinds(IPmsPdu* pdu, long* r) {
    IPmsVarBindList* list = pdu->get_varbinds();
    if (!list) {
        if (auto* ours = as_ours<CPdu>(pdu)) {
            list = ours->ensure();
        } else if ((list = pms_create_varbind_list(nullptr))) {
            pdu->set_varbinds(list);
        }
    }
    set_result(r, list ? PMC_OK : PMC_E_NOMEM);
    return list;
}
IPmsSnmpPacket* pms_create_packet(long* r) { return make<CPacket>(r); }
IPmsSnmpTarget* pms_create_usm_target(long* r) { return make<CUsmTarget>(r); }
IPmsSnmpPacketList* pms_create_packet_list(long* r) { return make<CPmcPtrList<IPmsSnmpPacket>>(r); }
IPmsSnmpTarget* pms_create_target(long kind, long* r) {
    if (kind != PMS_TARGET_COMMUNITY) { set_result(r, PMC_E_INVALID); return nullptr; }
    return make<CCommunityTarget>(r);
}

// Sets a community target's community from bytes of a given length (the decoder's path).
long pms_target_set_community_bytes(IPmsSnmpTarget* t, const char* data, size_t n) {
    auto* c = as_ours<CCommunityTarget>(t);
    if (!c) return PMC_E_INVALID;
    return c->set_community_bytes(data, n);
}

}  // namespace devlink

devlink::IPmcPtrList<devlink::IPmsPdu>* pms_create_pdu_list(long* result) {
    return devlink::make<devlink::CPmcPtrList<devlink::IPmsPdu>>(result);
}
