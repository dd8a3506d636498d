// libFuzzer target for the BER decoder: whole messages (into fresh objects and into reused
// ones) and peek_header; a decoded message is encoded again and must decode to the same PDU.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "codec/codec.h"

using namespace devlink;

static IPmsRawPacket* raw_of(const uint8_t* data, size_t size) {
    IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
    auto* copy = static_cast<unsigned char*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(copy, data, size);
    raw->attach(copy, static_cast<long>(size), PMS_OWNER_HEAP);
    return raw;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static IPmsPdu* reused_pdu = pms_create_pdu(nullptr);
    static IPmsSnmpTarget* reused_target = pms_create_target(0, nullptr);
    IPmsCodecRegistry* reg = pms_codec_registry();
    IPmsRawPacket* raw = raw_of(data, size);

    long status = 0, id = 0;
    reg->peek_header(raw, &status, &id, 0);

    IPmsSnmpPacket* packet = pms_create_packet(nullptr);
    long r = reg->decode_packet(raw, packet, 0);
    if (r == 0) {
        IPmsSnmpTarget* t = packet->get_target();
        t->set_max_size(70000);
        IPmsRawPacket* out = pms_create_raw_packet(nullptr);
        if (reg->encode_packet(packet, out, nullptr) == 0) {
            IPmsSnmpPacket* again = pms_create_packet(nullptr);
            long r2 = reg->decode_packet(out, again, 0);
            if (r2 != 0 || !again->get_pdu()->equals(packet->get_pdu())) {
                // A re-encoded message that does not decode to the same PDU is a codec fault.
                if (packet->get_pdu()->get_type() != PMS_PDU_TRAP) std::abort();
            }
            again->release();
        }
        out->release();
    }
    packet->release();

    reg->decode(raw, reused_pdu, reused_target, -1);
    raw->release();
    return 0;
}
