// BER codec for SNMPv1 and SNMPv2c, registered under the name "TransStream".
#pragma once

#include "devlink.h"
#include "snmp/pdu.h"
#include "snmp/value.h"

namespace devlink {

inline constexpr long PMS_OWNER_LIBRARY = 1;
inline constexpr long PMS_OWNER_HEAP = 2;

class IPmsRawPacket {
public:
    virtual void release() = 0;
    virtual void attach(unsigned char* data, long size, long owner_kind) = 0;
    virtual unsigned char* detach(long* size) = 0;
    virtual void free() = 0;
    virtual unsigned char* get_data() const = 0;
    virtual unsigned char* get_data2() const = 0;  // second entry, same result
    virtual long get_size() const = 0;
    virtual bool allocate(long size) = 0;
    virtual unsigned char* get_position() const = 0;
    virtual void set_position(long offset) = 0;
    virtual long get_remaining() const = 0;
protected:
    virtual ~IPmsRawPacket() = default;
};

IPmsRawPacket* pms_create_raw_packet(long* result);

class IPmsCodec : public IPmsTargetVisitor {
public:
    // visit_community_target, visit_usm_target (inherited), then:
    virtual ~IPmsCodec() = default;  // destroy
    virtual void release() = 0;
    virtual long process_packet(IPmsSnmpPacket* packet) = 0;
    virtual long process_pdu(IPmsPdu* pdu) = 0;
    virtual long process_varbind_list(IPmsVarBindList* list) = 0;
    virtual long process_varbind(IPmsVarBind* binding) = 0;
    virtual long process_pdu_header(IPmsPdu* pdu) = 0;
    virtual long process_v1_trap(IPmsPdu* pdu) = 0;
    virtual long process_v2_trap(IPmsPdu* pdu) = 0;
};

class IPmsCodecFactory {
public:
    virtual const char* get_name() const = 0;
    // The encoder encodes into buffer; the decoder decodes from buffer (translate kind, header-only).
    virtual IPmsCodec* create_encoder(IPmsRawPacket* buffer, long* result) = 0;
    virtual IPmsCodec* create_decoder(IPmsRawPacket* buffer, long translate_kind, bool header_only, long* result) = 0;
protected:
    virtual ~IPmsCodecFactory() = default;
};

// Read the written-bindings counter of an encoder after process_packet.
long pms_codec_written_bindings(IPmsCodec* encoder);

class IPmsCodecRegistry {
public:
    virtual long add(IPmsCodecFactory* factory) = 0;
    virtual long select(const char* name) = 0;
    virtual const char* get_current_name() const = 0;
    virtual long encode(IPmsPdu* pdu, IPmsSnmpTarget* target, IPmsRawPacket* buffer, long* bindings) = 0;
    virtual long encode_packet(IPmsSnmpPacket* packet, IPmsRawPacket* buffer, long* bindings) = 0;
    virtual long decode(IPmsRawPacket* buffer, IPmsPdu* pdu, IPmsSnmpTarget* target, long translate_kind) = 0;
    virtual long decode_packet(IPmsRawPacket* buffer, IPmsSnmpPacket* packet, long translate_kind) = 0;
    virtual long peek_header(IPmsRawPacket* buffer, long* error_status, long* request_id, long translate_kind) = 0;
protected:
    virtual ~IPmsCodecRegistry() = default;
};

IPmsCodecRegistry* pms_codec_registry();

}  // namespace devlink
