// Decoded bindings share one allocation with their OIDs and values; these check that each object
// still lives and dies on its own, whatever the order of release.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "codec/codec.h"

using namespace devlink;

namespace {

using Bytes = std::vector<unsigned char>;

// The message of a Response PDU holding the given bindings (the PDU is released).
Bytes encoded(IPmsPdu* pdu) {
    IPmsSnmpTarget* target = pms_create_target(PMS_TARGET_COMMUNITY, nullptr);
    target->set_version(1);
    target->set_max_size(65535);
    target->as_community()->set_community("public");
    pdu->set_type(PMS_PDU_RESPONSE);
    pdu->set_request_id(7);
    pdu->set_error_status(0);
    IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
    EXPECT_EQ(pms_codec_registry()->encode(pdu, target, raw, nullptr), 0);
    Bytes out(raw->get_position(), raw->get_position() + raw->get_remaining());
    raw->release();
    pdu->release();
    target->release();
    return out;
}

// A Response whose binding i is 1.3.6.1.2.1.1.<i+1>.0 with an integer, a text or an OID value.
Bytes response(int bindings) {
    IPmsPdu* pdu = pms_create_pdu(nullptr);
    for (int i = 0; i < bindings; ++i) {
        IPmsValue* v = nullptr;
        switch (i % 3) {
        case 0: v = pms_create_value_from_number(100 + i, PMS_INTEGER, nullptr); break;
        case 1: v = pms_create_value_from_text("Lumeno 4100 colour printer", PMS_OCTET_STRING, nullptr); break;
        default: v = pms_create_value_from_text("1.3.6.1.4.1.2699.1.2", PMS_OID, nullptr); break;
        }
        pdu->add(pms_create_oid(("1.3.6.1.2.1.1." + std::to_string(i + 1) + ".0").c_str(), nullptr), v);
    }
    return encoded(pdu);
}

long decode(const Bytes& in, IPmsPdu* pdu) {
    IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
    auto* copy = new unsigned char[in.size()];
    std::copy(in.begin(), in.end(), copy);
    raw->attach(copy, static_cast<long>(in.size()), PMS_OWNER_LIBRARY);
    IPmsSnmpTarget* target = pms_create_target(PMS_TARGET_COMMUNITY, nullptr);
    long r = pms_codec_registry()->decode(raw, pdu, target, PMS_TARGET_COMMUNITY);
    target->release();
    raw->release();
    return r;
}

IPmsPdu* decoded(int bindings) {
    IPmsPdu* pdu = pms_create_pdu(nullptr);
    EXPECT_EQ(decode(response(bindings), pdu), 0);
    return pdu;
}

std::string oid_of(int i) { return "1.3.6.1.2.1.1." + std::to_string(i + 1) + ".0"; }

std::string text_of(const IPmsValue* v) {
    IPmcBytes* b = v->to_text(nullptr);
    std::string s = b && b->get_data() ? b->get_data() : "";
    if (b) b->release();
    return s;
}

// A dotted OID text of count sub-identifiers after 1.3, each from first on.
std::string oid_text(int count, unsigned first) {
    std::string t = "1.3";
    for (int i = 0; i < count; ++i) t += "." + std::to_string(first + static_cast<unsigned>(i));
    return t;
}

// Messages of every shape a fresh list is decoded from: the bindings' objects go into blocks
// sized by an estimate from the first binding, the next block by the average so far, so a long
// first binding, many bindings and names longer than an OID holds inline all come out whole.
TEST(DevlinkDecodedBinding, EveryShapeOfListAndName) {
    struct Binding {
        std::string name, text;  // the value is an OCTET STRING
    };
    const std::string big(300, 'x');
    struct Case {
        const char* what;
        std::vector<Binding> bindings;
    };
    std::vector<Case> cases = {{"long first binding, short rest", {{oid_text(2, 1), big}}},
                               {"two hundred alike", {}},
                               {"names past the inline room", {}}};
    for (int i = 0; i < 150; ++i) cases[0].bindings.push_back({oid_text(3, 1 + i % 100), "v"});
    for (int i = 0; i < 200; ++i) cases[1].bindings.push_back({oid_text(9, 1 + i % 100), "value " + std::to_string(i)});
    for (int n : {22, 23, 24, 30}) {
        cases[2].bindings.push_back({oid_text(n - 2, 1), "one-byte numbers"});
        cases[2].bindings.push_back({oid_text(n - 2, 300), "two-byte numbers"});  // more bytes than numbers
    }
    cases[2].bindings.push_back({oid_text(2, 4000000000u), "five-byte numbers"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IPmsPdu* source = pms_create_pdu(nullptr);
        for (const Binding& b : c.bindings)
            source->add(pms_create_oid(b.name.c_str(), nullptr),
                        pms_create_value_from_text(b.text.c_str(), PMS_OCTET_STRING, nullptr));
        IPmsPdu* pdu = pms_create_pdu(nullptr);
        ASSERT_EQ(decode(encoded(source), pdu), 0);
        const IPmsVarBindList* list = pdu->get_varbinds();
        ASSERT_EQ(list->get_count(), static_cast<long>(c.bindings.size()));
        for (size_t i = 0; i < c.bindings.size(); ++i) {
            const IPmsVarBind* b = list->get(static_cast<long>(i));
            EXPECT_EQ(b->get_oid()->get_text(), c.bindings[i].name) << i;
            EXPECT_EQ(text_of(b->get_value()), c.bindings[i].text) << i;
        }
        // Bindings leave from the front, so each block is released while later ones still live.
        while (IPmsVarBind* b = pdu->take_front()) b->release();
        pdu->release();
    }
}

// The objects a detached binding hands over, released in every order, with the PDU gone first,
// in the middle or last.
TEST(DevlinkDecodedBinding, DetachedObjectsReleaseInAnyOrder) {
    enum Obj { Binding, Oid, Value, Pdu };
    const std::vector<std::vector<Obj>> orders = {
        {Binding, Oid, Value, Pdu}, {Value, Oid, Binding, Pdu}, {Pdu, Binding, Oid, Value},
        {Pdu, Value, Oid, Binding}, {Oid, Pdu, Value, Binding}, {Value, Pdu, Binding, Oid},
    };
    for (const auto& order : orders) {
        IPmsPdu* pdu = decoded(3);
        IPmsVarBind* b = nullptr;
        ASSERT_EQ(pdu->get_varbinds()->remove(1, &b), 0);
        IPmsOid* oid = nullptr;
        IPmsValue* value = nullptr;
        ASSERT_EQ(b->detach(&oid, &value), 0);
        for (Obj o : order) {
            if (oid) {
                EXPECT_EQ(oid->get_text(), oid_of(1));
            }
            if (value) {
                EXPECT_EQ(text_of(value), "Lumeno 4100 colour printer");
            }
            if (pdu) {
                EXPECT_EQ(pdu->get_varbinds()->get(1)->get_oid()->get_text(), oid_of(2));
            }
            switch (o) {
            case Binding: b->release(); b = nullptr; break;
            case Oid: oid->as_value()->release(); oid = nullptr; break;
            case Value: value->release(); value = nullptr; break;
            case Pdu: pdu->release(); pdu = nullptr; break;
            }
        }
    }
}

// A taken binding outlives the PDU; a clone of an embedded value is an object of its own; an
// embedded OID or value replaced by set_oid/set_value goes at once.
TEST(DevlinkDecodedBinding, TakenClonedAndReplacedObjects) {
    IPmsPdu* pdu = decoded(3);
    IPmsVarBind* taken = pdu->take_front();
    ASSERT_NE(taken, nullptr);
    IPmsVarBind* last = pdu->get_varbinds()->get(1);
    IPmsValue* clone = last->get_value()->clone(nullptr);
    IPmsVarBind* binding_clone = last->clone(nullptr);
    last->set_oid(pms_create_oid("1.3.6.1.2.1.1.9.0", nullptr));
    last->set_value(pms_create_value_from_number(9, PMS_INTEGER, nullptr));
    EXPECT_EQ(text_of(pdu->get_varbinds()->get(1)->get_value()), "9");
    pdu->release();

    EXPECT_EQ(taken->get_oid()->get_text(), oid_of(0));
    EXPECT_EQ(taken->get_value()->get_int32(nullptr), 100);
    EXPECT_EQ(clone->as_oid()->get_text(), std::string("1.3.6.1.4.1.2699.1.2"));
    EXPECT_EQ(binding_clone->get_oid()->get_text(), oid_of(2));
    taken->release();
    clone->release();
    binding_clone->release();
}

// Values handed out of a decoded PDU and released on another thread while the PDU is released
// on this one, both starting at once: the block is freed exactly once (a miscount leaks it or
// frees it twice, which the sanitizers report). Every other round the other thread also takes
// the PDU's list, which shares the PDU's own allocation.
TEST(DevlinkDecodedBinding, HandedOutObjectsReleaseOnOtherThreads) {
    constexpr int kBindings = 40;
    const Bytes message = response(kBindings);
    for (int round = 0; round < 3000; ++round) {
        IPmsPdu* pdu = pms_create_pdu(nullptr);
        ASSERT_EQ(decode(message, pdu), 0);
        std::vector<IPmsValue*> values;
        for (int i = 0; i < kBindings; ++i) {
            IPmsValue* v = nullptr;
            pdu->get_varbinds()->get(i)->detach(nullptr, &v);
            values.push_back(v);
        }
        IPmsVarBind* taken = pdu->take_front();
        IPmsVarBindList* list = round % 2 ? pdu->take_varbinds() : nullptr;
        std::atomic<bool> go{false};
        std::thread other([&] {
            while (!go.load()) {
            }
            if (list) list->release();
            for (IPmsValue* v : values) v->release();
            taken->release();
        });
        go = true;
        pdu->release();
        other.join();
    }
}

// Decoding into a PDU that already holds bindings: more, fewer, and a failure half-way.
TEST(DevlinkDecodedBinding, DecodingIntoUsedPdus) {
    struct Case {
        int before, after;
    };
    for (Case c : std::vector<Case>{{1, 4}, {4, 2}, {0, 0}, {3, 3}}) {
        IPmsPdu* pdu = decoded(c.before);
        ASSERT_EQ(decode(response(c.after), pdu), 0);
        ASSERT_EQ(pdu->get_varbinds()->get_count(), c.after);
        for (int i = 0; i < c.after; ++i) EXPECT_EQ(pdu->get_varbinds()->get(i)->get_oid()->get_text(), oid_of(i));
        pdu->release();
    }

    Bytes broken = response(3);
    // The third binding's value tag becomes an unknown type: the decoder stops there, and
    // whatever it built before is released with the PDU (LeakSanitizer checks).
    broken[broken.size() - 11] = 0x47;  // the last value: an OID of nine content bytes
    IPmsPdu* pdu = pms_create_pdu(nullptr);
    EXPECT_EQ(decode(broken, pdu), PMC_E_DECODE);
    pdu->release();
}

#if defined(__SANITIZE_ADDRESS__)
// A released embedded object is poisoned, so using it is still caught although its block lives on.
TEST(DevlinkDecodedBindingDeathTest, UseAfterReleaseIsCaught) {
    EXPECT_DEATH(
        {
            IPmsPdu* pdu = decoded(2);
            IPmsVarBind* b = pdu->get_varbinds()->get(0);
            IPmsValue* value = nullptr;
            b->detach(nullptr, &value);
            value->release();
            volatile long x = value->get_type();  // the binding and the block still live
            (void)x;
        },
        "use-after-poison");
}
#endif

}  // namespace
