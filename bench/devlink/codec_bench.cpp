// Encode and decode of the same messages by our codec and by Net-SNMP's snmp_build/snmp_parse,
// side by side in one run: a GetRequest with 1 and with 20 bindings and a Response with 20 mixed
// values. The ratio lines at the end compare the two for each case.
#include <benchmark/benchmark.h>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "codec/codec.h"

using namespace devlink;

namespace {

struct Case {
    int command;  // 0 GetRequest, 2 Response
    int bindings;
};

std::vector<oid> name_of(int i) { return {1, 3, 6, 1, 4, 1, 2699, 1, 2, 1, 2, 1, 1, static_cast<oid>(3 + i), 0}; }

std::string text_of(const std::vector<oid>& v) {
    std::string s;
    char buf[24];
    for (size_t i = 0; i < v.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? ".%lu" : "%lu", static_cast<unsigned long>(v[i]));
        s += buf;
    }
    return s;
}

// Binding i of the Response: a mix of the usual answer types.
int mixed_type(int i) {
    static const int types[] = {2, 4, 0x41, 0x43, 6, 0x40, 0x42, 0x46, 4, 2};
    return types[i % 10];
}

void build_ours(const Case& c, IPmsPdu* pdu, IPmsSnmpTarget* target) {
    target->set_version(1);
    target->set_max_size(1472);
    target->as_community()->set_community("public");
    pdu->set_type(c.command);
    pdu->set_request_id(12345);
    for (int i = 0; i < c.bindings; ++i) {
        IPmsValue* v = nullptr;
        if (c.command == 0) {
            v = pms_create_value(PMS_NULL, nullptr);
        } else {
            v = pms_create_value(mixed_type(i), nullptr);
            switch (mixed_type(i)) {
            case 2: v->set_int32(100000 + i); break;
            case 4: v->set_text("Lumeno 4100 colour printer"); break;
            case 6: v->set_text("1.3.6.1.4.1.2699.1.2.1.3"); break;
            case 0x40: v->set_text("192.168.1.20"); break;
            case 0x46: v->set_high32(3); v->set_low32(0x80000000ul); break;
            default: v->set_uint32(4000000000ul - i); break;
            }
        }
        pdu->add(pms_create_oid(text_of(name_of(i)).c_str(), nullptr), v);
    }
}

netsnmp_pdu* build_netsnmp(const Case& c) {
    netsnmp_pdu* pdu = snmp_pdu_create(c.command == 0 ? SNMP_MSG_GET : SNMP_MSG_RESPONSE);
    pdu->version = SNMP_VERSION_2c;
    // Net-SNMP takes the session's community only for requests; a Response carries its own.
    pdu->community = reinterpret_cast<u_char*>(strdup("public"));
    pdu->community_len = 6;
    pdu->reqid = 12345;
    pdu->errstat = 0;
    pdu->errindex = 0;
    for (int i = 0; i < c.bindings; ++i) {
        auto n = name_of(i);
        if (c.command == 0) {
            snmp_add_null_var(pdu, n.data(), n.size());
            continue;
        }
        switch (mixed_type(i)) {
        case 2: { long x = 100000 + i; snmp_pdu_add_variable(pdu, n.data(), n.size(), ASN_INTEGER, &x, sizeof x); break; }
        case 4: snmp_pdu_add_variable(pdu, n.data(), n.size(), ASN_OCTET_STR, "Lumeno 4100 colour printer", 26); break;
        case 6: {
            oid o[] = {1, 3, 6, 1, 4, 1, 2699, 1, 2, 1, 3};
            snmp_pdu_add_variable(pdu, n.data(), n.size(), ASN_OBJECT_ID, o, sizeof o);
            break;
        }
        case 0x40: { unsigned char a[4] = {192, 168, 1, 20}; snmp_pdu_add_variable(pdu, n.data(), n.size(), ASN_IPADDRESS, a, 4); break; }
        case 0x46: {
            struct counter64 c64 = {3, 0x80000000ul};
            snmp_pdu_add_variable(pdu, n.data(), n.size(), ASN_COUNTER64, &c64, sizeof c64);
            break;
        }
        default: {
            u_long x = 4000000000ul - i;
            snmp_pdu_add_variable(pdu, n.data(), n.size(), static_cast<u_char>(mixed_type(i)), &x, sizeof x);
        }
        }
    }
    return pdu;
}

netsnmp_session* session() {
    static netsnmp_session s = [] {
        init_snmp("devlink-bench");
        netsnmp_session x;
        snmp_sess_init(&x);
        x.version = SNMP_VERSION_2c;
        x.community = reinterpret_cast<u_char*>(const_cast<char*>("public"));
        x.community_len = 6;
        return x;
    }();
    return &s;
}

std::string encode_netsnmp(netsnmp_pdu* pdu) {
    size_t len = 2048, offset = 0;
    u_char* buf = static_cast<u_char*>(malloc(len));
    snmp_build(&buf, &len, &offset, session(), pdu);
    std::string s(reinterpret_cast<char*>(buf + len - offset), offset);
    free(buf);
    return s;
}

const Case kCases[] = {{0, 1}, {0, 20}, {2, 20}};
const char* const kNames[] = {"GetRequest1", "GetRequest20", "Response20Mixed"};

void OursEncode(benchmark::State& st) {
    const Case& c = kCases[st.range(0)];
    IPmsPdu* pdu = pms_create_pdu(nullptr);
    IPmsSnmpTarget* target = pms_create_target(0, nullptr);
    build_ours(c, pdu, target);
    IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
    IPmsCodecRegistry* reg = pms_codec_registry();
    for (auto _ : st) {
        long r = reg->encode(pdu, target, raw, nullptr);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(raw->get_position());
    }
    raw->release();
    pdu->release();
    target->release();
    st.SetLabel(kNames[st.range(0)]);
}

void NetSnmpBuild(benchmark::State& st) {
    const Case& c = kCases[st.range(0)];
    netsnmp_pdu* pdu = build_netsnmp(c);
    size_t cap = 2048;
    u_char* buf = static_cast<u_char*>(malloc(cap));
    for (auto _ : st) {
        size_t len = cap, offset = 0;
        int r = snmp_build(&buf, &len, &offset, session(), pdu);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(buf);
        cap = len;
    }
    free(buf);
    snmp_free_pdu(pdu);
    st.SetLabel(kNames[st.range(0)]);
}

std::string wire_of(const Case& c) {
    netsnmp_pdu* pdu = build_netsnmp(c);
    std::string s = encode_netsnmp(pdu);
    snmp_free_pdu(pdu);
    return s;
}

// The case's message as a received packet.
IPmsRawPacket* received(const Case& c) {
    std::string wire = wire_of(c);
    IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
    unsigned char* bytes = static_cast<unsigned char*>(malloc(wire.size()));
    memcpy(bytes, wire.data(), wire.size());
    raw->attach(bytes, static_cast<long>(wire.size()), PMS_OWNER_HEAP);
    return raw;
}

// Decoding into fresh objects, as Net-SNMP's snmp_parse does into a fresh PDU.
void OursDecode(benchmark::State& st) {
    IPmsCodecRegistry* reg = pms_codec_registry();
    IPmsRawPacket* raw = received(kCases[st.range(0)]);
    for (auto _ : st) {
        IPmsPdu* pdu = pms_create_pdu(nullptr);
        IPmsSnmpTarget* target = pms_create_target(0, nullptr);
        long r = reg->decode(raw, pdu, target, -1);
        benchmark::DoNotOptimize(r);
        pdu->release();
        target->release();
    }
    raw->release();
    st.SetLabel(kNames[st.range(0)]);
}

// Decoding into the request's own PDU and target, as the request sessions do.
void OursDecodeReuse(benchmark::State& st) {
    IPmsCodecRegistry* reg = pms_codec_registry();
    IPmsRawPacket* raw = received(kCases[st.range(0)]);
    IPmsPdu* pdu = pms_create_pdu(nullptr);
    IPmsSnmpTarget* target = pms_create_target(0, nullptr);
    for (auto _ : st) {
        long r = reg->decode(raw, pdu, target, -1);
        benchmark::DoNotOptimize(r);
    }
    pdu->release();
    target->release();
    raw->release();
    st.SetLabel(kNames[st.range(0)]);
}

void NetSnmpParse(benchmark::State& st) {
    std::string wire = wire_of(kCases[st.range(0)]);
    std::vector<u_char> data(wire.begin(), wire.end());
    netsnmp_session s;
    snmp_sess_init(&s);
    session();
    for (auto _ : st) {
        netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
        int r = snmp_parse(nullptr, &s, pdu, data.data(), data.size());
        benchmark::DoNotOptimize(r);
        snmp_free_pdu(pdu);
    }
    st.SetLabel(kNames[st.range(0)]);
}

// Each case runs five times and is reported by its median, which the shared machine's load
// moves much less than a single run.
constexpr int kRepetitions = 5;
BENCHMARK(OursEncode)->DenseRange(0, 2)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(NetSnmpBuild)->DenseRange(0, 2)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(OursDecode)->DenseRange(0, 2)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(OursDecodeReuse)->DenseRange(0, 2)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(NetSnmpParse)->DenseRange(0, 2)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

// Collects the median per-iteration times and prints the ratios Net-SNMP / ours after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                times_[r.run_name.function_name + "/" + r.run_name.args] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nRatios of the medians (Net-SNMP time / our time; goal >= 3):\n");
        for (int i = 0; i < 3; ++i) {
            double enc = t("NetSnmpBuild", i) / t("OursEncode", i);
            double dec = t("NetSnmpParse", i) / t("OursDecode", i);
            double reuse = t("NetSnmpParse", i) / t("OursDecodeReuse", i);
            std::printf("  %-16s encode %.2fx   decode (fresh objects) %.2fx   decode (reused objects) %.2fx\n",
                        kNames[i], enc, dec, reuse);
        }
    }
private:
    double t(const char* name, int i) {
        char key[64];
        std::snprintf(key, sizeof key, "%s/%d", name, i);
        return times_[key];
    }
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // Both codecs must agree on the messages measured.
    for (int i = 0; i < 3; ++i) {
        IPmsPdu* pdu = pms_create_pdu(nullptr);
        IPmsSnmpTarget* target = pms_create_target(0, nullptr);
        build_ours(kCases[i], pdu, target);
        IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
        pms_codec_registry()->encode(pdu, target, raw, nullptr);
        std::string ours(reinterpret_cast<char*>(raw->get_position()), static_cast<size_t>(raw->get_remaining()));
        if (ours != wire_of(kCases[i])) {
            std::fprintf(stderr, "devlink_codec_bench: the two encodings of %s differ\n", kNames[i]);
            std::string theirs = wire_of(kCases[i]);
            for (size_t k = 0; k < ours.size() || k < theirs.size(); ++k)
                std::fprintf(stderr, "%02x/%02x%s", k < ours.size() ? (unsigned char)ours[k] : 0,
                             k < theirs.size() ? (unsigned char)theirs[k] : 0, (k % 16 == 15) ? "\n" : " ");
            return 1;
        }
        raw->release();
        pdu->release();
        target->release();
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
