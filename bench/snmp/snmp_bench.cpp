// Against one real snmpd in one run: sequential GETs per second through the get-data facade
// and through Net-SNMP's synchronous API, and a GetNext walk of the 1000-row table through the
// facade and with snmpwalk -v1.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "facade/getdata.h"
#include "printeragent.h"
#include "processrun.h"

using namespace devlink;
using namespace devlinktest;

namespace {

// The two sides take turns, round by round, and each keeps its best round: other work on the
// machine then slows both alike instead of whichever side it happens to meet.
constexpr int kRounds = 5;
constexpr int kGets = 1000;  // per round
constexpr int kWalks = 3;    // per round

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long Open(IPmcGetData* data, int port)
{
    return data->open("127.0.0.1", 1, static_cast<unsigned short>(port), 0, nullptr, 0, 0, 0, nullptr, nullptr, nullptr,
                      1000, 1, 0);
}

double FacadeGets(int port)
{
    IPmcGetData* data = pmc_create_get_data(nullptr);
    char text[256];
    int ok = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kGets; ++i) {
        Open(data, port);
        data->add_get_oid(kSysDescr.c_str(), false);
        if (data->get_string(text, sizeof text) == 0) ++ok;
    }
    double rate = kGets / Seconds(start);
    data->release();
    return ok == kGets ? rate : 0;
}

double FacadeWalks(int port)
{
    IPmcGetData* data = pmc_create_get_data(nullptr);
    bool complete = true;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kWalks; ++i) {
        IPmcPtrList<IPmsPdu>* list = pms_create_pdu_list(nullptr);
        Open(data, port);
        data->add_get_oid(kTable.c_str(), false);
        complete = data->walk(list, kTable.c_str()) == 0 && list->size() == kTableRows && complete;
        list->release();
    }
    double per = Seconds(start) / kWalks;
    data->release();
    return complete ? per : 0;
}

double SnmpwalkWalks(int port)
{
    bool complete = true;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kWalks; ++i) {
        auto r = testsupport::RunProcess({"/usr/bin/env", "MIBS=", "snmpwalk", "-v1", "-c", "public", "-On", "-m", "",
                                          "127.0.0.1:" + std::to_string(port), kTable});
        size_t lines = 0;
        for (char c : r.out) lines += c == '\n';
        complete = complete && r.status == 0 && lines == static_cast<size_t>(kTableRows);
    }
    return complete ? Seconds(start) / kWalks : 0;
}

double NetSnmpGets(int port)
{
    auto r = testsupport::RunProcess({LUMENO_BENCH_TOOLS "/netsnmp_get", "127.0.0.1:" + std::to_string(port),
                                      std::to_string(kGets), kSysDescr});
    return r.status == 0 ? std::atof(r.out.c_str()) : 0;
}

}  // namespace

int main()
{
    testsupport::SnmpAgent agent(PrinterAgentConfig());
    if (!agent.running()) {
        std::fprintf(stderr, "snmp_bench: %s\n", agent.error().c_str());
        return 1;
    }
    double ours = 0, peer = 0, walk = 0, peer_walk = 0;
    for (int round = 0; round < kRounds; ++round) {
        ours = std::max(ours, FacadeGets(agent.port()));
        peer = std::max(peer, NetSnmpGets(agent.port()));
        const double w = FacadeWalks(agent.port());
        const double pw = SnmpwalkWalks(agent.port());
        walk = round == 0 || (w > 0 && w < walk) ? w : walk;
        peer_walk = round == 0 || (pw > 0 && pw < peer_walk) ? pw : peer_walk;
    }
    std::printf("sequential GETs (SNMPv1, sysDescr.0; best of %d rounds of %d)\n", kRounds, kGets);
    std::printf("  facade (IPmcGetData)       %10.1f per second\n", ours);
    std::printf("  Net-SNMP snmp_synch_response %8.1f per second\n", peer);
    std::printf("  ratio facade / Net-SNMP    %10.2f\n", peer > 0 ? ours / peer : 0);
    std::printf("walk of the %d-row table (GetNext, SNMPv1; best of %d rounds, mean of %d walks each)\n", kTableRows, kRounds, kWalks);
    std::printf("  facade walk                %10.1f ms\n", walk * 1000);
    std::printf("  snmpwalk -v1               %10.1f ms\n", peer_walk * 1000);
    std::printf("  speed ratio facade / snmpwalk %7.2f\n", walk > 0 ? peer_walk / walk : 0);
    return ours > 0 && peer > 0 && walk > 0 && peer_walk > 0 ? 0 : 1;
}
