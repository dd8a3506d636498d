// SNMP values and object identifiers: one interface for every value type, with the OID as a value
// that also offers the prefix and index operations the table walks need.
#pragma once

#include <cstddef>
#include <cstdint>

#include "devlink.h"
#include "snmp/bytes.h"

namespace devlink {

inline constexpr long PMS_INTEGER = 2;
inline constexpr long PMS_OCTET_STRING = 4;
inline constexpr long PMS_NULL = 5;
inline constexpr long PMS_OID = 6;
inline constexpr long PMS_IPADDRESS = 0x40;
inline constexpr long PMS_COUNTER32 = 0x41;
inline constexpr long PMS_GAUGE32 = 0x42;
inline constexpr long PMS_TIMETICKS = 0x43;
inline constexpr long PMS_OPAQUE = 0x44;
inline constexpr long PMS_COUNTER64 = 0x46;
inline constexpr long PMS_IPV6_ADDRESS = 0x48;
inline constexpr long PMS_NO_SUCH_OBJECT = 0x80;
inline constexpr long PMS_NO_SUCH_INSTANCE = 0x81;
inline constexpr long PMS_END_OF_MIB_VIEW = 0x82;
inline constexpr long PMS_UDP_ADDRESS = 0xFF02;
inline constexpr long PMS_IPX_ADDRESS = 0xFF03;

// Interface identifiers for IPmsValue::query_interface.
inline constexpr unsigned long PMS_IID_VALUE = 0xF000FF00ul;
inline constexpr unsigned long PMS_IID_EXCEPTION = 0xF000FF01ul;
inline constexpr unsigned long PMS_IID_UDP_ADDRESS = 0xF000FF02ul;
inline constexpr unsigned long PMS_IID_IPX_ADDRESS = 0xF000FF03ul;
inline unsigned long pms_iid_of_type(long type) { return 0xF0000000ul | (static_cast<unsigned long>(type) & 0xFFFFul); }

// OID relations of compare / compare_text.
inline constexpr long PMS_OID_EQUAL = 0;
inline constexpr long PMS_OID_GIVEN_BELOW = 1;  // the given OID lies below this one
inline constexpr long PMS_OID_THIS_BELOW = 2;   // this OID lies below the given one
inline constexpr long PMS_OID_LESS = 3;         // this OID sorts first
inline constexpr long PMS_OID_GREATER = 4;      // the given OID sorts first

class IPmsValue;
class IPmsOid;

class IPmsVisitor {
public:
    virtual long visit_oid(IPmsValue* value) = 0;
    virtual long visit_octets(IPmsValue* value) = 0;
    virtual long visit_integer(IPmsValue* value) = 0;
    virtual long visit_null(IPmsValue* value) = 0;
    virtual long visit_counter32(IPmsValue* value) = 0;
    virtual long visit_gauge32(IPmsValue* value) = 0;
    virtual long visit_timeticks(IPmsValue* value) = 0;
    virtual long visit_counter64(IPmsValue* value) = 0;
    virtual long visit_ipaddress(IPmsValue* value) = 0;
    virtual long visit_ipv6_address(IPmsValue* value) = 0;
    virtual long visit_udp_address(IPmsValue* value) = 0;
    virtual long visit_ipx_address(IPmsValue* value) = 0;
    virtual long visit_exception(IPmsValue* value) = 0;
protected:
    virtual ~IPmsVisitor() = default;
};

class IPmsValue {
public:
    virtual long accept(IPmsVisitor* visitor) = 0;
    virtual void release() = 0;
    virtual IPmsValue* clone(long* result) const = 0;
    virtual long assign(const IPmsValue* other) = 0;
    virtual long reset() = 0;
    virtual long get_type() const = 0;
    virtual bool equals(const IPmsValue* other) const = 0;
    virtual IPmsOid* as_oid() = 0;
    virtual long query_interface(unsigned long iid, void** out) = 0;
    virtual bool is_valid() const = 0;
    virtual long get_int32(long* result) const = 0;
    virtual unsigned long get_uint32(long* result) const = 0;
    virtual IPmcBytes* to_text(long* result) const = 0;
    virtual long format_text(IPmcBytes* out) const = 0;
    virtual const unsigned char* get_octets(long* length, long* result) const = 0;
    virtual IPmcBytes* to_octets(long* result) const = 0;
    virtual long copy_octets(IPmcBytes* out) const = 0;
    virtual unsigned short get_uint16(long* result) const = 0;
    virtual unsigned long get_high32(long* result) const = 0;
    virtual unsigned long get_low32(long* result) const = 0;
    virtual long set_int32(long value) = 0;
    virtual long set_uint32(unsigned long value) = 0;
    virtual long set_text(const char* text) = 0;
    virtual long set_text_from(const IPmcBytes* text) = 0;
    virtual long set_octets(const void* data, long length) = 0;
    virtual long set_octets_from(const IPmcBytes* data) = 0;
    virtual long set_uint16(unsigned short value) = 0;
    virtual long set_high32(unsigned long value) = 0;
    virtual long set_low32(unsigned long value) = 0;
    virtual long get_length() const = 0;
    virtual long get_index_length(bool implied) const = 0;
    virtual long get_element(long index, long* result) const = 0;
    virtual long append_index_to(IPmsOid* oid, bool implied) const = 0;
    virtual long write_index_to(IPmsOid* oid, bool implied) const = 0;
    virtual long read_index_from(const IPmsOid* oid, bool implied, long count) = 0;
protected:
    virtual ~IPmsValue() = default;
};

// The OID interface; an OID is also a value (its own interface extends IPmsValue).
class IPmsOid : public IPmsValue {
public:
    IPmsOid* clone(long* result) const override = 0;
    virtual long compare_text(const char* text, long* result) const = 0;
    virtual long compare(const IPmsOid* other, long* result) const = 0;
    virtual long strip_prefix_text(const char* text) = 0;
    virtual long strip_prefix(const IPmsOid* other) = 0;
    virtual long append_text(const char* text) = 0;
    virtual long append_subid(unsigned long subid) = 0;
    virtual long append_oid(const IPmsOid* other) = 0;
    virtual long append_value_text(long type, const char* text, bool implied) = 0;
    virtual long append_index(const IPmsValue* value, bool implied) = 0;
    virtual IPmsOid* new_prefix(long count, long* result) = 0;
    virtual long take_prefix_into(IPmsValue* value, long count) = 0;
    virtual unsigned long take_first_subid(long* result) = 0;
    virtual IPmcBytes* take_prefix_bytes(long count, long* result) = 0;
    virtual long take_prefix_into_bytes(IPmcBytes* bytes, long count) = 0;
    virtual IPmsValue* take_index_value(long type, bool implied, long count, long* result) = 0;
    virtual long take_index_into(IPmsValue* value, bool implied, long count) = 0;
    virtual long remove(long start, long count) = 0;
    virtual IPmsValue* peek_index_value(long type, bool implied, long* result) const = 0;
    virtual long peek_index_into(IPmsValue* value, bool implied) const = 0;
    virtual long set_from_index(const IPmsValue* value, bool implied) = 0;
    // Library additions after the classic operations: the value side and the text.
    virtual IPmsValue* as_value() = 0;
    virtual const IPmsValue* as_value() const = 0;
    virtual const char* get_text() const = 0;  // never null ("" when empty)
    virtual long get_text_length() const = 0;
    virtual long get_count() const = 0;  // number of sub-identifiers
    virtual long set_oid_text(const char* text, long length) = 0;
    // The sub-identifiers as numbers, for the codec and the index forms (valid until the next
    // change). When the text is not a list of decimal numbers within 32 bits, they are its
    // numeric reading (non-digits skipped, components capped at 2^32-1) and *exact is false.
    virtual const uint32_t* get_subids(long* count, bool* exact) const = 0;
    virtual long set_subids(const uint32_t* ids, long count) = 0;
protected:
    ~IPmsOid() override = default;
};

IPmsValue* pms_create_value(long type, long* result);
// One value as the decoder read it, before a value object holds it.
struct PmsDecodedValue {
    long type = 0;
    uint32_t low = 0;            // INTEGER (its 32 bits), the unsigned types, Counter64's low half
    uint32_t high = 0;           // Counter64's high half
    const void* data = nullptr;  // the octet types' bytes, or an OBJECT IDENTIFIER's sub-identifiers
    size_t length = 0;           // in bytes, or in sub-identifiers
};

class CSharedBlock;
// The room a value of any type (the OID included) takes in a shared block.
size_t pms_value_slot_size();
// A value with the decoded content, placed in a slot (of at least pms_value_slot_size() bytes)
// of the block and counted in it. Null with *result set for an unknown type, a content the type
// cannot hold (-250) or no memory.
IPmsValue* pms_create_decoded_value_in(const PmsDecodedValue& value, CSharedBlock* block, void* slot, long* result);
class SubIdArray;
// An empty OID placed and counted like a decoded value, whose sub-identifiers the decoder then
// reads straight into *ids (SubIdArray::room and keep). Never fails.
IPmsOid* pms_create_decoded_oid_in(CSharedBlock* block, void* slot, SubIdArray** ids);
// The numbers of an OID of this library, for the decoder to read a new OID straight into; null
// for another implementation (which then takes them through set_subids).
SubIdArray* pms_oid_subids_to_decode(IPmsOid* oid);
IPmsValue* pms_create_value_from_text(const char* text, long type, long* result);
IPmsValue* pms_create_value_from_number(long number, long type, long* result);
IPmsOid* pms_create_oid(const char* text, long* result);
IPmsOid* pms_create_empty_oid(long* result);

// True when the text is a valid dotted-decimal OID text (the empty text included).
bool pms_oid_text_valid(const char* text, long length);

}  // namespace devlink
