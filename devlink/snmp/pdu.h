// Variable bindings, PDUs, targets, packets and pointer containers.
#pragma once

#include <cstddef>
#include <list>
#include <new>
#include <vector>

#include "addr/address.h"
#include "devlink.h"
#include "snmp/sharedblock.h"
#include "snmp/value.h"

namespace devlink {

inline constexpr long PMS_PDU_NONE = -1;
inline constexpr long PMS_PDU_GET = 0;
inline constexpr long PMS_PDU_GETNEXT = 1;
inline constexpr long PMS_PDU_RESPONSE = 2;
inline constexpr long PMS_PDU_SET = 3;
inline constexpr long PMS_PDU_TRAP = 4;
inline constexpr long PMS_PDU_GETBULK = 5;
inline constexpr long PMS_PDU_INFORM = 6;
inline constexpr long PMS_PDU_REPORT = 8;

inline constexpr long PMS_ERROR_OTHER = 100;  // per-binding mark of the bindings not at fault

class IPmsVarBind {
public:
    virtual void release() = 0;
    virtual IPmsVarBind* clone(long* result) const = 0;
    virtual bool equals(const IPmsVarBind* other) const = 0;
    virtual long set(IPmsOid* oid, IPmsValue* value) = 0;
    virtual long set2(IPmsOid* oid, IPmsValue* value) = 0;  // second entry of set
    virtual long detach(IPmsOid** oid, IPmsValue** value) = 0;
    virtual long set_oid(IPmsOid* oid) = 0;
    virtual long set_value(IPmsValue* value) = 0;
    virtual IPmsOid* get_oid() const = 0;
    virtual IPmsValue* get_value() const = 0;
    virtual long get_error() const = 0;
    virtual void set_error(long error) = 0;
    virtual ~IPmsVarBind() = default;  // destroy
};

class IPmsVarBindList {
public:
    virtual void release() = 0;
    virtual IPmsVarBindList* clone(long* result) const = 0;
    virtual bool equals(const IPmsVarBindList* other) const = 0;
    virtual long get_count() const = 0;
    virtual long add(IPmsOid* oid, IPmsValue* value) = 0;
    virtual long append(IPmsVarBind* binding) = 0;
    virtual long insert_front(IPmsOid* oid, IPmsValue* value) = 0;
    virtual long push_front(IPmsVarBind* binding) = 0;
    virtual long remove(long index, IPmsVarBind** out) = 0;
    virtual long take_front_pair(IPmsOid** oid, IPmsValue** value) = 0;
    virtual IPmsVarBind* take_front() = 0;
    virtual IPmsVarBind* get(long index) const = 0;
    virtual IPmsVarBindList* sub_list(long start, long count, long* result) const = 0;
    virtual IPmsVarBindList* split_front(long count, long* result) = 0;
    virtual void mark_error(long status, long index) = 0;
    virtual void clear_errors(long status) = 0;
    virtual ~IPmsVarBindList() = default;  // destroy
    // Library addition: drops the bindings from index on (the decoder's trimming).
    virtual void truncate(long count) = 0;
};

class IPmsPdu {
public:
    virtual void release() = 0;
    virtual void reset() = 0;
    virtual IPmsPdu* clone(long* result) const = 0;
    virtual long copy_from(const IPmsPdu* other) = 0;
    virtual long copy_header(const IPmsPdu* other) = 0;
    virtual bool equals(const IPmsPdu* other) const = 0;
    virtual long get_type() const = 0;
    virtual void set_type(long type) = 0;
    virtual IPmsVarBindList* get_varbinds() const = 0;
    virtual void set_varbinds(IPmsVarBindList* list) = 0;
    virtual IPmsVarBindList* take_varbinds() = 0;
    virtual long add(IPmsOid* oid, IPmsValue* value) = 0;
    virtual long append(IPmsVarBind* binding) = 0;
    virtual long insert_front(IPmsOid* oid, IPmsValue* value) = 0;
    virtual long push_front(IPmsVarBind* binding) = 0;
    virtual long take_front_pair(IPmsOid** oid, IPmsValue** value) = 0;
    virtual IPmsVarBind* take_front() = 0;
    virtual long get_request_id() const = 0;
    virtual long get_error_status() const = 0;
    virtual long get_error_index() const = 0;
    virtual void set_request_id(long id) = 0;
    virtual void set_error_status(long status) = 0;
    virtual void set_error_index(long index) = 0;
    virtual IPmsValue* get_time_stamp() const = 0;
    virtual IPmsOid* get_trap_oid() const = 0;
    virtual IPmsValue* take_time_stamp() = 0;
    virtual IPmsOid* take_trap_oid() = 0;
    virtual long set_time_stamp(IPmsValue* value) = 0;
    virtual long set_trap_oid(IPmsValue* value) = 0;
    virtual ~IPmsPdu() = default;  // destroy
};

class IPmsSnmpTarget;

// The target visitor: the first two operations of the codec and of the SNMPv3 builder.
class IPmsTargetVisitor {
public:
    virtual long visit_community_target(IPmsSnmpTarget* target) = 0;
    virtual long visit_usm_target(IPmsSnmpTarget* target) = 0;
protected:
    virtual ~IPmsTargetVisitor() = default;
};

inline constexpr long PMS_TARGET_COMMUNITY = 0;
inline constexpr long PMS_TARGET_USM = 1;

class IPmsCommunity {
public:
    virtual long set_community(const char* text) = 0;
    virtual const char* get_community() const = 0;
protected:
    virtual ~IPmsCommunity() = default;  // destroy
};

class IPmsUsm {
public:
    virtual const char* get_user_name() const = 0;
    virtual long get_security_level() const = 0;
    virtual long get_auth_protocol() const = 0;
    virtual long get_priv_protocol() const = 0;
    virtual const char* get_auth_pass() const = 0;
    virtual const char* get_priv_pass() const = 0;
    virtual const char* get_context_name() const = 0;
    virtual IPmcBytes* get_engine_id() const = 0;
    virtual long set_user_name(const char* name) = 0;
    virtual long set_security_level(long level) = 0;
    virtual long set_auth_protocol(long protocol) = 0;
    virtual long set_priv_protocol(long protocol) = 0;
    virtual long set_auth_pass(const char* pass) = 0;
    virtual long set_priv_pass(const char* pass) = 0;
    virtual long set_context_name(const char* name) = 0;
    virtual long set_engine_id(const void* data, long length) = 0;
protected:
    virtual ~IPmsUsm() = default;  // destroy
};

class IPmsSnmpTarget {
public:
    virtual long accept(IPmsTargetVisitor* visitor) = 0;
    virtual void release() = 0;
    virtual void clear_credentials() = 0;
    virtual IPmsSnmpTarget* clone(long* result) const = 0;
    virtual long copy_from(const IPmsSnmpTarget* other) = 0;
    virtual bool equals(const IPmsSnmpTarget* other) const = 0;
    virtual long get_kind() const = 0;
    virtual long query_interface(long iid, void** out) = 0;
    virtual long set_version(long v) = 0;
    virtual long set_timeout(long v) = 0;
    virtual long set_retries(long v) = 0;
    virtual unsigned long set_max_size(unsigned long v) = 0;
    virtual unsigned short set_port(unsigned short v) = 0;
    virtual long get_version() const = 0;
    virtual long get_timeout() const = 0;
    virtual long get_retries() const = 0;
    virtual unsigned long get_max_size() const = 0;
    virtual unsigned short get_port() const = 0;
    virtual long set_address(const IPmcNetworkAddress* address) = 0;
    virtual IPmcNetworkAddress* get_address() const = 0;
    // Library additions: the credential interfaces without a query (null when absent).
    virtual IPmsCommunity* as_community() = 0;
    virtual const IPmsCommunity* as_community() const = 0;
    virtual IPmsUsm* as_usm() = 0;
    virtual const IPmsUsm* as_usm() const = 0;
protected:
    virtual ~IPmsSnmpTarget() = default;
};

class IPmsSnmpPacket {
public:
    virtual void release() = 0;
    virtual IPmsSnmpPacket* clone(long* result) const = 0;
    virtual bool equals(const IPmsSnmpPacket* other) const = 0;
    virtual void set_target(IPmsSnmpTarget* target) = 0;
    virtual void set_pdu(IPmsPdu* pdu) = 0;
    virtual IPmsSnmpTarget* take_target() = 0;
    virtual IPmsPdu* take_pdu() = 0;
    virtual IPmsSnmpTarget* get_target() const = 0;
    virtual IPmsPdu* get_pdu() const = 0;
    virtual ~IPmsSnmpPacket() = default;  // destroy
};

// Element policy of IPmcPtrList: acquire on insert, release on removal.
template <class T>
class IPmcPtrPolicy {
public:
    virtual T* acquire(T* element) = 0;
    virtual void release_element(T* element) = 0;
protected:
    virtual ~IPmcPtrPolicy() = default;
};

// The policy that takes the pointer itself and releases the element on removal.
template <class T>
class CPmcTakePolicy final : public IPmcPtrPolicy<T> {
public:
    T* acquire(T* e) override { return e; }
    void release_element(T* e) override {
        if (e) e->release();
    }
};

template <class T>
class IPmcPtrList {
public:
    class Iterator;
    virtual long push_front(T* element) = 0;
    virtual long push_back(T* element) = 0;
    virtual long pop_front() = 0;
    virtual long pop_back() = 0;
    virtual long clear() = 0;
    virtual long size() const = 0;
    virtual Iterator* create_iterator(long* result) = 0;
    virtual void reset_iterator(Iterator* it) = 0;
    virtual void release_iterator(Iterator* it) = 0;
    virtual T* get(Iterator* it) const = 0;
    virtual Iterator* next(Iterator* it) = 0;
    virtual Iterator* erase(Iterator* it) = 0;
    virtual IPmcPtrPolicy<T>* get_policy() = 0;
    virtual void release() = 0;
protected:
    virtual ~IPmcPtrList() = default;
};

template <class T>
class CPmcPtrList final : public IPmcPtrList<T> {
public:
    using Iterator = typename IPmcPtrList<T>::Iterator;
    ~CPmcPtrList() override { clear(); }
    long push_front(T* e) override { return insert(e, true); }
    long push_back(T* e) override { return insert(e, false); }
    long pop_front() override {
        if (items_.empty()) return 0;
        T* e = items_.front();
        items_.pop_front();
        policy_.release_element(e);
        return 0;
    }
    long pop_back() override {
        if (items_.empty()) return 0;
        T* e = items_.back();
        items_.pop_back();
        policy_.release_element(e);
        return 0;
    }
    long clear() override {
        while (!items_.empty()) pop_front();
        return 0;
    }
    long size() const override { return static_cast<long>(items_.size()); }
    Iterator* create_iterator(long* result) override {
        auto* it = new (std::nothrow) It{items_.begin()};
        set_result(result, it ? PMC_OK : PMC_E_NOMEM);
        return reinterpret_cast<Iterator*>(it);
    }
    void reset_iterator(Iterator* it) override {
        if (it) as(it)->pos = items_.begin();
    }
    void release_iterator(Iterator* it) override { delete as(it); }
    T* get(Iterator* it) const override {
        if (!it || as(it)->pos == items_.end()) return nullptr;
        return *as(it)->pos;
    }
    Iterator* next(Iterator* it) override {
        if (it && as(it)->pos != items_.end()) ++as(it)->pos;
        return it;
    }
    Iterator* erase(Iterator* it) override {
        if (it && as(it)->pos != items_.end()) as(it)->pos = items_.erase(as(it)->pos);
        return it;
    }
    IPmcPtrPolicy<T>* get_policy() override { return &policy_; }
    void release() override { delete this; }

private:
    struct It {
        typename std::list<T*>::iterator pos;
    };
    static It* as(Iterator* it) { return reinterpret_cast<It*>(it); }
    static const It* as(const Iterator* it) { return reinterpret_cast<const It*>(it); }
    long insert(T* e, bool front) {
        if (!e) return PMC_E_INVALID;
        T* a = policy_.acquire(e);
        if (!a) return PMC_E_NOMEM;
        try {
            if (front) items_.push_front(a);
            else items_.push_back(a);
        } catch (...) {
            return PMC_E_NOMEM;
        }
        return 0;
    }
    std::list<T*> items_;
    CPmcTakePolicy<T> policy_;
};

using IPmsSnmpPacketList = IPmcPtrList<IPmsSnmpPacket>;
using IPmsPduList = IPmcPtrList<IPmsPdu>;

template <class T>
class IPmcPtrArray {
public:
    virtual void release() = 0;
    virtual bool is_empty() const = 0;
    virtual long size() const = 0;
    virtual T* get(long index) const = 0;
    virtual T* front() const = 0;
    virtual void clear() = 0;
    virtual void pop_back() = 0;
    virtual void push_back(T* element) = 0;
protected:
    virtual ~IPmcPtrArray() = default;
};

template <class T>
class CPmcPtrArray final : public IPmcPtrArray<T> {
public:
    ~CPmcPtrArray() override { clear(); }
    void release() override { delete this; }
    bool is_empty() const override { return items_.empty(); }
    long size() const override { return static_cast<long>(items_.size()); }
    T* get(long i) const override { return i >= 0 && i < size() ? items_[static_cast<size_t>(i)] : nullptr; }
    T* front() const override { return items_.empty() ? nullptr : items_.front(); }
    void clear() override {
        for (T* e : items_) e->release();
        items_.clear();
    }
    void pop_back() override {
        if (items_.empty()) return;
        items_.back()->release();
        items_.pop_back();
    }
    void push_back(T* e) override {
        if (!e) return;
        try {
            items_.push_back(e);
        } catch (...) {
        }
    }
private:
    std::vector<T*> items_;
};

IPmsVarBind* pms_create_varbind(long* result);
struct PmsDecodedValue;
// Prepares an empty list of this library for about count decoded bindings and gives the block
// for the first count of them, which then share one allocation with their OIDs and values; the
// caller releases its hold on a block once its bindings are placed. Null with *result 0 for a
// list that is not empty or not ours (the caller then decodes into bindings of their own), or
// with -3 when out of memory.
CSharedBlock* pms_prepare_decoded_list(IPmsVarBindList* list, size_t count, long* result);
// A further block for count decoded bindings of a prepared list; null with -3 when out of memory.
CSharedBlock* pms_create_decoded_block(size_t count, long* result);
// Appends binding index (below the block's count) of the block, with its decoded name (placed
// in its slot by pms_create_decoded_oid_in, handed over here; on a failure before this call the
// decoder releases it) and value, to the list the block was made for. Each of the
// three objects still releases on its own (after detach, in any order); the block goes when all
// have.
long pms_append_decoded_varbind(IPmsVarBindList* list, CSharedBlock* block, size_t index, IPmsOid* name,
                                const PmsDecodedValue& value);
// Each decoded binding takes three slots of its block, for the binding, its name and its value.
enum class PmsDecodedPart : size_t { Binding, Name, Value };
inline void* pms_decoded_slot(CSharedBlock* block, size_t index, PmsDecodedPart part) {
    return block->slot(3 * index + static_cast<size_t>(part));
}
IPmsVarBindList* pms_create_varbind_list(long* result);
IPmsPdu* pms_create_pdu(long* result);
// The PDU's list of bindings, made (empty) when it has none; null with *result -3 when out of memory.
IPmsVarBindList* pms_pdu_varbinds(IPmsPdu* pdu, long* result);
IPmsSnmpPacket* pms_create_packet(long* result);
IPmsSnmpTarget* pms_create_target(long kind, long* result);
IPmsSnmpTarget* pms_create_usm_target(long* result);
IPmsSnmpPacketList* pms_create_packet_list(long* result);
// Sets a community target's community from bytes of a given length (the decoder's path).
long pms_target_set_community_bytes(IPmsSnmpTarget* target, const char* data, size_t length);
template <class T>
IPmcPtrArray<T>* pms_create_ptr_array(long* result) {
    auto* a = new (std::nothrow) CPmcPtrArray<T>();
    set_result(result, a ? PMC_OK : PMC_E_NOMEM);
    return a;
}

}  // namespace devlink

// Exported for the driver side: an empty PDU list whose policy takes the pointers and releases the PDUs.
DEVLINK_EXPORT devlink::IPmcPtrList<devlink::IPmsPdu>* pms_create_pdu_list(long* result);
