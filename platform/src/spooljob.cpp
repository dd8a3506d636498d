// Print jobs: spooled to a file, delivered to the port at the end of the document.
#include "platform/spooljob.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <pwd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/spooler.h"
#include "platform/store.h"
#include "platform/wstring.h"

namespace {

constexpr size_t kWriteBuffer = 256 * 1024;

struct Job {
    DWORD id = 0;
    std::string printer;
    std::string port;        // where it goes
    std::string spoolPath;   // the spool file
    std::string target;      // file ports: the final path
    bool socketPort = false;
    int fd = -1;
    ULONGLONG bytes = 0;
    std::vector<char> buffer;
    bool failed = false;
    DWORD error = 0;
    std::u16string docName, datatype, user, machine, printerW, status;
};

std::mutex g_jobLock;
std::map<HANDLE, Job*> g_jobs;
std::atomic<DWORD> g_nextJob{1};

std::string UserName()
{
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
    return std::to_string(geteuid());
}

std::string HostName()
{
    char host[256] = {};
    if (gethostname(host, sizeof(host) - 1) != 0 || !host[0]) return "localhost";
    return host;
}

bool StartsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

Job* Find(HANDLE h)
{
    std::lock_guard guard(g_jobLock);
    auto it = g_jobs.find(h);
    return it == g_jobs.end() ? nullptr : it->second;
}

bool FlushBuffer(Job* job)
{
    size_t done = 0;
    while (done < job->buffer.size()) {
        const ssize_t n = ::write(job->fd, job->buffer.data() + done, job->buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            job->failed = true;
            job->error = errno == ENOSPC ? ERROR_CANTWRITE : ERROR_CANTWRITE;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    job->buffer.clear();
    return true;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// "socket://HOST[:PORT]" -> a connected TCP socket, or -1.
int ConnectSocketPort(const std::string& port)
{
    std::string rest = port.substr(std::strlen("socket://"));
    while (!rest.empty() && rest.back() == '/') rest.pop_back();
    std::string host = rest, service = "9100";
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos) return -1;
        host = rest.substr(1, close - 1);
        if (close + 1 < rest.size() && rest[close + 1] == ':') service = rest.substr(close + 2);
    } else if (const size_t colon = rest.rfind(':'); colon != std::string::npos) {
        host = rest.substr(0, colon);
        service = rest.substr(colon + 1);
    }
    if (host.empty() || service.empty()) return -1;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) return -1;
    int fd = -1;
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) continue;
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0) break;
        ::close(fd);
        fd = -1;
    }
    freeaddrinfo(list);
    return fd;
}

bool SendSpoolFile(Job* job)
{
    const int in = ::open(job->spoolPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ConnectSocketPort(job->port);
    if (out < 0) {
        ::close(in);
        job->error = ERROR_BAD_NET_NAME;
        return false;
    }
    bool ok = true;
    off_t offset = 0;
    while (static_cast<ULONGLONG>(offset) < job->bytes) {
        const ssize_t n = ::sendfile(out, in, &offset, job->bytes - static_cast<ULONGLONG>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            job->error = ERROR_NOT_CONNECTED;
            break;
        }
    }
    if (ok) ::shutdown(out, SHUT_WR);
    ::close(out);
    ::close(in);
    return ok;
}

void Destroy(Job* job, bool removeSpool)
{
    if (job->fd >= 0) ::close(job->fd);
    if (removeSpool && !job->spoolPath.empty()) ::unlink(job->spoolPath.c_str());
    delete job;
}

}  // namespace

DWORD StartDocPrinterW(HANDLE hPrinter, DWORD Level, BYTE* pDocInfo)
{
    if (Level != 1 || !pDocInfo) {
        SetLastError(Level != 1 ? ERROR_INVALID_LEVEL : ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (Find(hPrinter)) {
        SetLastError(ERROR_INVALID_PRINTER_STATE);
        return 0;
    }
    DWORD cbNeeded = 0;
    GetPrinterW(hPrinter, 2, nullptr, 0, &cbNeeded);
    if (!cbNeeded) return 0;  // an invalid handle: GetPrinterW set the error
    std::vector<BYTE> info(cbNeeded);
    if (!GetPrinterW(hPrinter, 2, info.data(), cbNeeded, &cbNeeded)) return 0;
    const auto* pi = reinterpret_cast<const PRINTER_INFO_2W*>(info.data());
    const auto* di = reinterpret_cast<const DOC_INFO_1W*>(pDocInfo);

    auto* job = new Job;
    job->printer = platform::Narrow(pi->pPrinterName);
    job->printerW = pi->pPrinterName ? pi->pPrinterName : u"";
    job->port = di->pOutputFile && di->pOutputFile[0] ? platform::Narrow(di->pOutputFile) : platform::Narrow(pi->pPortName);
    job->docName = di->pDocName ? di->pDocName : u"";
    job->datatype = di->pDatatype ? di->pDatatype : u"RAW";
    job->user = platform::Widen(UserName());
    job->machine = platform::Widen("\\\\" + HostName());
    job->status = u"";
    job->id = g_nextJob++;

    if (StartsWith(job->port, "socket://")) {
        job->socketPort = true;
        const std::string dir = platform::StoreRoot() + "/spool";
        ::mkdir(platform::StoreRoot().c_str(), 0700);
        ::mkdir(dir.c_str(), 0700);
        job->spoolPath = dir + "/job-" + std::to_string(getpid()) + "-" + std::to_string(job->id) + ".spl";
    } else {
        std::string path = job->port;
        if (StartsWith(path, "file://")) path = path.substr(7);
        else if (StartsWith(path, "FILE:")) path = path.substr(5);
        if (path.empty()) {
            // The bare "FILE:" port: the job lands in the store's jobs folder.
            const std::string dir = platform::StoreRoot() + "/jobs";
            ::mkdir(platform::StoreRoot().c_str(), 0700);
            ::mkdir(dir.c_str(), 0700);
            std::string leaf = job->printer;
            for (char& c : leaf)
                if (c == '/' || c == ' ' || c == '\\') c = '_';
            path = dir + "/" + leaf + "-" + std::to_string(job->id) + ".prn";
            job->port = path;
        }
        job->target = path;
        job->spoolPath = path + ".lumeno-spool-" + std::to_string(getpid()) + "-" + std::to_string(job->id);
    }
    job->fd = ::open(job->spoolPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (job->fd < 0) {
        const DWORD error = errno == ENOENT ? ERROR_PATH_NOT_FOUND : errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTOPEN;
        delete job;
        SetLastError(error);
        return 0;
    }
    job->buffer.reserve(kWriteBuffer);
    std::lock_guard guard(g_jobLock);
    g_jobs[hPrinter] = job;
    return job->id;
}

BOOL StartPagePrinter(HANDLE hPrinter)
{
    if (Find(hPrinter)) return TRUE;
    SetLastError(ERROR_SPL_NO_STARTDOC);
    return FALSE;
}

BOOL EndPagePrinter(HANDLE hPrinter) { return StartPagePrinter(hPrinter); }

BOOL WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten)
{
    if (pcWritten) *pcWritten = 0;
    Job* job = Find(hPrinter);
    if (!job) {
        SetLastError(ERROR_SPL_NO_STARTDOC);
        return FALSE;
    }
    if (job->failed) {
        SetLastError(job->error);
        return FALSE;
    }
    if (cbBuf && !pBuf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const char* data = static_cast<const char*>(pBuf);
    if (cbBuf >= kWriteBuffer) {
        if (!FlushBuffer(job)) {
            SetLastError(job->error);
            return FALSE;
        }
        if (!WriteAll(job->fd, data, cbBuf)) {
            job->failed = true;
            job->error = ERROR_CANTWRITE;
            SetLastError(job->error);
            return FALSE;
        }
    } else {
        if (job->buffer.size() + cbBuf > kWriteBuffer && !FlushBuffer(job)) {
            SetLastError(job->error);
            return FALSE;
        }
        job->buffer.insert(job->buffer.end(), data, data + cbBuf);
    }
    job->bytes += cbBuf;
    if (pcWritten) *pcWritten = cbBuf;
    return TRUE;
}

namespace {

// The printer's open job, no longer registered; null (with the error set) when it has none.
Job* TakeJob(HANDLE hPrinter)
{
    std::lock_guard guard(g_jobLock);
    auto it = g_jobs.find(hPrinter);
    if (it == g_jobs.end()) {
        SetLastError(ERROR_SPL_NO_STARTDOC);
        return nullptr;
    }
    Job* job = it->second;
    g_jobs.erase(it);
    return job;
}

}  // namespace

BOOL EndDocPrinter(HANDLE hPrinter)
{
    Job* job = TakeJob(hPrinter);
    if (!job) return FALSE;
    bool ok = !job->failed && FlushBuffer(job);
    if (ok && ::close(job->fd) != 0) ok = false;
    job->fd = -1;
    if (ok) {
        if (job->socketPort) {
            ok = SendSpoolFile(job);
        } else if (::rename(job->spoolPath.c_str(), job->target.c_str()) != 0) {
            ok = false;
            job->error = ERROR_CANTWRITE;
        } else {
            job->spoolPath.clear();
        }
    }
    const DWORD error = job->error ? job->error : ERROR_CANTWRITE;
    Destroy(job, true);
    if (!ok) SetLastError(error);
    return ok ? TRUE : FALSE;
}

BOOL AbortPrinter(HANDLE hPrinter)
{
    Job* job = TakeJob(hPrinter);
    if (!job) return FALSE;
    Destroy(job, true);
    return TRUE;
}

BOOL GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, BYTE* pJob, DWORD cbBuf, LPDWORD pcbNeeded)
{
    if (Level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    std::lock_guard guard(g_jobLock);
    auto it = g_jobs.find(hPrinter);
    if (it == g_jobs.end() || it->second->id != JobId) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const Job* job = it->second;
    const std::u16string* texts[] = {&job->printerW, &job->machine, &job->user, &job->docName, &job->datatype, &job->status};
    DWORD needed = sizeof(JOB_INFO_1W);
    for (const auto* t : texts) needed += static_cast<DWORD>((t->size() + 1) * sizeof(WCHAR));
    if (pcbNeeded) *pcbNeeded = needed;
    if (!pJob || cbBuf < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* info = reinterpret_cast<JOB_INFO_1W*>(pJob);
    std::memset(info, 0, sizeof(*info));
    auto* cursor = reinterpret_cast<WCHAR*>(pJob + sizeof(JOB_INFO_1W));
    LPWSTR* fields[] = {&info->pPrinterName, &info->pMachineName, &info->pUserName, &info->pDocument, &info->pDatatype, &info->pStatus};
    for (int i = 0; i < 6; ++i) {
        *fields[i] = cursor;
        std::memcpy(cursor, texts[i]->c_str(), (texts[i]->size() + 1) * sizeof(WCHAR));
        cursor += texts[i]->size() + 1;
    }
    info->JobId = job->id;
    info->Priority = 1;
    return TRUE;
}

ULONGLONG platform::SpooledJobBytes(HANDLE hPrinter)
{
    std::lock_guard guard(g_jobLock);
    auto it = g_jobs.find(hPrinter);
    return it == g_jobs.end() ? 0 : it->second->bytes;
}
