// lumeno print of a 1 GiB PostScript document to a file, beside cat of the same file: the
// throughput ratio and the peak memory of the print (which must stay flat).
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Run {
    double seconds;
    long maxRssKiB;
    int status;
};

Run Spawn(const std::string& cmd)
{
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return {s, ru.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

void MakeDocument(const std::string& path, unsigned long long bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs("%!PS-Adobe-3.0\n%%Pages: (atend)\n%%EndComments\n%%BeginProlog\n%%EndProlog\n", f);
    std::string page;
    unsigned long long written = 0;
    int n = 0;
    std::string filler;
    for (int i = 0; i < 4000; ++i) filler += "% page data line of the benchmark document, kept by the driver as it is ...\n";
    while (written < bytes) {
        ++n;
        page = "%%Page: " + std::to_string(n) + " " + std::to_string(n) + "\n/Helvetica findfont 24 scalefont setfont 72 720 moveto (page " +
               std::to_string(n) + ") show\n" + filler + "showpage\n";
        std::fwrite(page.data(), 1, page.size(), f);
        written += page.size();
    }
    std::fprintf(f, "%%%%Trailer\n%%%%Pages: %d\n%%%%EOF\n", n);
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv)
{
    const unsigned long long size = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : (1ull << 30);
    char dirTemplate[] = "/tmp/lumeno-bench-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    const std::string doc = dir + "/doc.ps", job = dir + "/job.prn", copy = dir + "/copy.ps";
    setenv("LUMENO_ROOT", (dir + "/state").c_str(), 1);
    MakeDocument(doc, size);
    struct stat st{};
    stat(doc.c_str(), &st);
    const std::string lumeno = std::string(LUMENO_BENCH_BIN) + "/lumeno";
    Spawn("'" + lumeno + "' print -o '%PagePerSheet=1' --output '" + job + "' /dev/null >/dev/null 2>&1");  // installs the printer
    const Run cat = Spawn("cat '" + doc + "' > '" + copy + "'");
    unlink(copy.c_str());
    const Run print = Spawn("'" + lumeno + "' print --output '" + job + "' '" + doc + "' 2>/dev/null");
    struct stat js{};
    stat(job.c_str(), &js);
    const double mib = static_cast<double>(st.st_size) / (1 << 20);
    std::printf("document           %.0f MiB\n", mib);
    std::printf("cat                %.2f s  %.0f MiB/s  peak %ld KiB\n", cat.seconds, mib / cat.seconds, cat.maxRssKiB);
    std::printf("lumeno print       %.2f s  %.0f MiB/s  peak %ld KiB  (exit %d, job %lld bytes)\n", print.seconds,
                mib / print.seconds, print.maxRssKiB, print.status, static_cast<long long>(js.st_size));
    std::printf("throughput ratio   %.2f (print / cat)\n", cat.seconds / print.seconds);
    std::printf("peak memory        %.1f MiB (limit 32 MiB): %s\n", print.maxRssKiB / 1024.0,
                print.maxRssKiB < 32 * 1024 ? "flat" : "TOO HIGH");
    unlink(doc.c_str());
    unlink(job.c_str());
    std::string rm = "rm -rf '" + dir + "'";
    (void)std::system(rm.c_str());
    return print.status == 0 && print.maxRssKiB < 32 * 1024 ? 0 : 1;
}
