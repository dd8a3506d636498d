// lumeno: the one command users run.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "../hostcore.h"
#include "cli.h"

namespace lumeno {
int PrinterCommand(const Args& args);
int SettingsCommand(const Args& args);
int PreconfigCommand(const Args& args);
int SnmpCommand(const Args& args);
}  // namespace lumeno

namespace {

constexpr const char* kUsage =
    "usage: lumeno <command> ...\n"
    "  model list                         the models the driver knows\n"
    "  model info MODEL                   what the model library tells of a model\n"
    "  reg query KEY [VALUE]              show a registry key or value\n"
    "  reg set KEY VALUE TYPE DATA        set a value (TYPE sz, dword, binary, multi_sz)\n"
    "  reg delete KEY [VALUE]             delete a value, or a key with all below it\n"
    "  printer add NAME [--model MODEL] [--port PORT] [--ppd FILE]\n"
    "                                     install a printer (MODEL \"Lumeno 4100N\" or \"Lumeno 4100DN\")\n"
    "  printer list | show NAME | delete NAME\n"
    "  printer data list|get|delete PRINTER [VALUE]\n"
    "  printer data set PRINTER VALUE TYPE DATA   (TYPE sz, dword, binary, multi_sz)\n"
    "  printer detect-options NAME [--apply] [--community NAME] [-v 1|3 ...]\n"
    "                                     ask the printer which installable options it has\n"
    "  printer simulate [--port N] [--trays N] [--duplex yes|no] [--memory MB] [--hard-disk yes|no] ...\n"
    "                                     a simulated Lumeno 4100DN (snmpd) on loopback\n"
    "  settings get|set [--printer NAME] KEYWORD [VALUE]\n"
    "                                     a setting of the user's DEVMODE of the printer\n"
    "  settings show [--printer NAME]     every \"$\" setting with its value\n"
    "  preconfig show [--printer NAME]    the administrator's pre-configuration, and lines ignored\n"
    "  snmp get|getnext|walk|set|discover [-v 1|3] [-c COMMUNITY] [-u USER] [-l LEVEL] [-a MD5|SHA]\n"
    "       [-A PASS] [-x DES|AES] [-X PASS] [-n CONTEXT] [-t SECONDS] [-r RETRIES] [-d] AGENT[:PORT] OID...\n"
    "                                     SNMP requests to a printer (set: OID i VALUE)\n"
    "  print [-P PRINTER] [-o KEYWORD=VALUE ...] [--output FILE] [--preview PNG] [INPUT]\n"
    "                                     print a document (PostScript or PDF) through the driver\n";

using Handler = int (*)(const lumeno::Args&);

int Run(int argc, char** argv)
{
    const std::map<std::string, Handler> commands = {{"model", lumeno::ModelCommand}, {"reg", lumeno::RegCommand},
                                                    {"printer", lumeno::PrinterCommand},
                                                    {"settings", lumeno::SettingsCommand},
                                                    {"preconfig", lumeno::PreconfigCommand},
                                                    {"snmp", lumeno::SnmpCommand},
                                                    {"print", lumeno::PrintCommand}};
    if (argc < 2 || !std::strcmp(argv[1], "help") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    auto it = commands.find(argv[1]);
    if (it == commands.end()) throw lumeno::UsageError(std::string("unknown command \"") + argv[1] + "\"");
    return it->second(lumeno::Args(argv + 2, argv + argc));
}

}  // namespace

int main(int argc, char** argv)
{
    if (!StartHostCore()) {
        std::fprintf(stderr, "lumeno: cannot start the driver core\n");
        return 1;
    }
    int status = 1;
    try {
        status = Run(argc, argv);
    } catch (const lumeno::UsageError& e) {
        std::fprintf(stderr, "lumeno: %s\n", e.what());
        status = 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumeno: %s\n", e.what());
        status = 1;
    }
    StopHostCore();
    return status;
}

void lumeno::ExpectArgs(const Args& args, size_t min, size_t max, const char* usage)
{
    if (args.size() < min || args.size() > max) throw UsageError(std::string("usage: lumeno ") + usage);
}
