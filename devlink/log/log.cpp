// Log and trace framework: channels, level masks and the stdout and file sinks.
#include "log/log.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace devlink {

const char* const PMC_IID_LOG_OBJECT = "5b1c2e40-8d7a-4f2b-9e31-0a6c4d2f1e01";
const char* const PMC_IID_LOG_SINK = "5b1c2e40-8d7a-4f2b-9e31-0a6c4d2f1e02";
const char* const PMC_IID_LOG_CHANNEL = "5b1c2e40-8d7a-4f2b-9e31-0a6c4d2f1e03";
const char* const PMC_IID_LOG_REGISTRY = "5b1c2e40-8d7a-4f2b-9e31-0a6c4d2f1e04";

namespace {

long query(void* self, const char* iid, const char* own, void** out) {
    if (out) *out = nullptr;
    if (!iid || !out) return PMC_E_INVALID;
    if (std::strcmp(iid, own) == 0 || std::strcmp(iid, PMC_IID_LOG_OBJECT) == 0) {
        *out = self;
        return PMC_OK;
    }
    return PMC_E_NOINTERFACE;
}

class StdoutSink final : public IPmcLogSink {
public:
    explicit StdoutSink(const char* name) : name_(name) {}
    long query_interface(const char* iid, void** out) override { return query(this, iid, PMC_IID_LOG_SINK, out); }
    void release() override { delete this; }
    const char* get_name() const override { return name_.c_str(); }
    long write(const char* line) override {
        std::printf("%s\n", line);
        std::fflush(stdout);
        return 0;
    }
private:
    std::string name_;
};

class NullSink final : public IPmcLogSink {
public:
    explicit NullSink(const char* name) : name_(name) {}
    long query_interface(const char* iid, void** out) override { return query(this, iid, PMC_IID_LOG_SINK, out); }
    void release() override { delete this; }
    const char* get_name() const override { return name_; }
    long write(const char*) override { return 0; }
private:
    const char* name_;
};

}  // namespace

class FileSink final : public IPmcLogSink {
public:
    explicit FileSink(const char* path) : path_(path) {}
    ~FileSink() override {
        if (file_) std::fclose(file_);
    }
    long query_interface(const char* iid, void** out) override { return query(this, iid, PMC_IID_LOG_SINK, out); }
    void release() override { delete this; }
    const char* get_name() const override { return "file"; }
    long write(const char* line) override {
        unsigned long add = std::strlen(line) + 2;
        if (add > max_) return PMC_E_NOELEMENT;
        if (!file_) {
            file_ = std::fopen(path_.c_str(), "a");
            if (!file_) return PMC_E_NOLIBRARY;
            long pos = std::ftell(file_);
            written_ = pos > 0 ? static_cast<unsigned long>(pos) : 0;
        }
        if (written_ + add > max_) {
            std::fclose(file_);
            file_ = nullptr;
            std::string bak = path_ + ".bak";
            std::remove(bak.c_str());
            std::rename(path_.c_str(), bak.c_str());
            file_ = std::fopen(path_.c_str(), "wt");
            if (!file_) return PMC_E_NOLIBRARY;
            written_ = 0;
        }
        std::fprintf(file_, "%s\n", line);
        std::fflush(file_);
        written_ += add;
        return 0;
    }
    unsigned long max_ = 4ul * 1024 * 1024;
private:
    std::string path_;
    FILE* file_ = nullptr;
    unsigned long written_ = 0;
};

namespace {

class Channel final : public IPmcLogChannel {
public:
    explicit Channel(const char* name) : name_(name) {}
    ~Channel() override {
        for (auto* s : sinks_) s->release();
    }
    long query_interface(const char* iid, void** out) override { return query(this, iid, PMC_IID_LOG_CHANNEL, out); }
    const char* get_name() const override { return name_.c_str(); }
    void set_mask(unsigned mask) override { mask_.store(mask & PMC_LOG_ALL); }
    unsigned get_mask() const override { return mask_.load(); }
    void set_flags(unsigned flags) override { flags_ = flags; }
    unsigned get_flags() const override { return flags_; }
    long set_base(int base) override {
        if (base != 10 && base != 16) return PMC_E_INVALID;
        base_ = base;
        return 0;
    }
    int get_base() const override { return base_; }
    void set_indent(int indent) override { indent_ = indent < 0 ? 0 : indent; }
    int get_indent() const override { return indent_; }
    long add_sink(IPmcLogSink* sink) override {
        if (!sink) return PMC_E_INVALID;
        std::lock_guard<std::mutex> lock(lock_);
        try {
            sinks_.push_back(sink);
        } catch (...) {
            return PMC_E_NOMEM;
        }
        return 0;
    }
    bool enabled(unsigned level) const override { return (mask_.load(std::memory_order_relaxed) & level) != 0; }
    long log(unsigned level, const char* format, ...) override {
        va_list ap;
        va_start(ap, format);
        long r = vlog(level, format, ap);
        va_end(ap);
        return r;
    }
    long vlog(unsigned level, const char* format, va_list args) override;

    // Copies the settings of the default channel (sinks are shared by reference name only:
    // the stdout sink is stateless, a file sink is recreated for the same path).
    void copy_settings(const Channel& from, IPmcLogRegistry* reg);
    std::string file_path_;  // path of the attached file sink, if any
    bool has_stdout_ = false;

private:
    std::string name_;
    std::atomic<unsigned> mask_{0};
    unsigned flags_ = 7;
    int base_ = 10;
    int indent_ = 0;
    std::vector<IPmcLogSink*> sinks_;
    std::mutex lock_;
};

const char* level_word(unsigned level) {
    switch (level) {
    case PMC_LOG_ERROR: return "Error, ";
    case PMC_LOG_WARN: return "Warn , ";
    case PMC_LOG_INFO: return "Info , ";
    case PMC_LOG_DEBUG: return "Debug, ";
    case PMC_LOG_TRACE: return "Trace, ";
    default: return "All  , ";
    }
}

long Channel::vlog(unsigned level, const char* format, va_list args) {
    std::lock_guard<std::mutex> lock(lock_);
    if ((mask_.load() & level) == 0) return 0;
    char line[1024];
    size_t n = 0;
    auto room = [&]() { return n < sizeof line ? sizeof line - n : 0; };
    auto add = [&](int w) {
        if (w > 0) n += static_cast<size_t>(w);
        if (n >= sizeof line) n = sizeof line - 1;
    };
    if (flags_ & 1) {
        struct timeval tv;
        gettimeofday(&tv, nullptr);
        struct tm tm;
        localtime_r(&tv.tv_sec, &tm);
        add(std::snprintf(line + n, room(), "%04d/%02d/%02d %02d:%02d:%02d:%03d", tm.tm_year + 1900,
                          tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                          static_cast<int>(tv.tv_usec / 1000)));
    } else {
        add(std::snprintf(line + n, room(), "%23s", ""));
    }
    auto id = [&](unsigned flag, unsigned long v) {
        if (flags_ & flag)
            add(std::snprintf(line + n, room(), base_ == 16 ? ", %08lX" : ", %8lu", v));
        else
            add(std::snprintf(line + n, room(), ", %8s", ""));
    };
    id(2, static_cast<unsigned long>(getpid()));
    id(4, static_cast<unsigned long>(syscall(SYS_gettid)));
    add(std::snprintf(line + n, room(), ", %-16.16s, %s", name_.c_str(), level_word(level)));
    for (int i = 0; i < indent_; ++i) add(std::snprintf(line + n, room(), "    "));
    if (format)
        add(std::vsnprintf(line + n, room(), format, args));
    else
        add(std::snprintf(line + n, room(), "(client was about to output null message...)"));
    long result = 0;
    for (auto* s : sinks_) {
        long r = s->write(line);
        if (r != 0) result = r;
    }
    return result;
}

class Registry final : public IPmcLogRegistry {
public:
    Registry() : default_("All") { configure_from_environment(); }
    ~Registry() override {
        for (auto* c : channels_) delete c;
    }
    long query_interface(const char* iid, void** out) override { return query(this, iid, PMC_IID_LOG_REGISTRY, out); }
    IPmcLogChannel* get_channel(const char* name) override {
        if (!name) return nullptr;
        std::lock_guard<std::mutex> lock(lock_);
        if (std::strcmp(name, "All") == 0) return &default_;
        for (auto* c : channels_)
            if (std::strcmp(c->get_name(), name) == 0) return c;
        Channel* c = new (std::nothrow) Channel(name);
        if (!c) return nullptr;
        c->copy_settings(default_, this);
        try {
            channels_.push_back(c);
        } catch (...) {
            delete c;
            return nullptr;
        }
        return c;
    }
    IPmcLogChannel* get_default_channel() override { return &default_; }
    IPmcLogSink* create_sink(const char* kind, const char* property, const char* value, long* result) override {
        IPmcLogSink* s = nullptr;
        if (kind && std::strcmp(kind, "stdout") == 0) {
            s = new (std::nothrow) StdoutSink("stdout");
        } else if (kind && std::strcmp(kind, "file") == 0) {
            if (!property || std::strcmp(property, "ExtentionName") != 0 || !value) {
                set_result(result, PMC_E_INVALID);
                return nullptr;
            }
            s = new (std::nothrow) FileSink(value);
        } else {
            set_result(result, PMC_E_INVALID);
            return nullptr;
        }
        set_result(result, s ? PMC_OK : PMC_E_NOMEM);
        return s;
    }

private:
    void configure_from_environment() {
        const char* setting = std::getenv("LUMENO_DEVLINK_LOG");
        if (!setting || !*setting) return;
        if (std::strcmp(setting, "stdout") == 0) {
            default_.has_stdout_ = true;
            default_.add_sink(new (std::nothrow) StdoutSink("stdout"));
        } else if (std::strncmp(setting, "file:", 5) == 0 && setting[5]) {
            default_.file_path_ = setting + 5;
            default_.add_sink(new (std::nothrow) FileSink(setting + 5));
        } else {
            return;
        }
        unsigned mask = PMC_LOG_ALL;
        if (const char* lv = std::getenv("LUMENO_DEVLINK_LOG_LEVEL")) mask = static_cast<unsigned>(std::strtoul(lv, nullptr, 0));
        default_.set_mask(mask);
    }
    Channel default_;
    std::vector<Channel*> channels_;
    std::mutex lock_;
};

void Channel::copy_settings(const Channel& from, IPmcLogRegistry*) {
    mask_.store(from.get_mask());
    flags_ = from.get_flags();
    base_ = from.get_base();
    indent_ = from.get_indent();
    if (from.has_stdout_) {
        has_stdout_ = true;
        add_sink(new (std::nothrow) StdoutSink("stdout"));
    }
    if (!from.file_path_.empty()) {
        file_path_ = from.file_path_;
        add_sink(new (std::nothrow) FileSink(from.file_path_.c_str()));
    }
}

class NullChannel final : public IPmcLogChannel {
public:
    long query_interface(const char* iid, void** out) override { return query(this, iid, PMC_IID_LOG_CHANNEL, out); }
    const char* get_name() const override { return "null_session"; }
    void set_mask(unsigned) override {}
    unsigned get_mask() const override { return 0; }
    void set_flags(unsigned) override {}
    unsigned get_flags() const override { return 7; }
    long set_base(int base) override { return base == 10 || base == 16 ? 0 : PMC_E_INVALID; }
    int get_base() const override { return 10; }
    void set_indent(int) override {}
    int get_indent() const override { return 0; }
    long add_sink(IPmcLogSink* sink) override {
        if (sink) sink->release();
        return 0;
    }
    long log(unsigned, const char*, ...) override { return 0; }
    long vlog(unsigned, const char*, va_list) override { return 0; }
    bool enabled(unsigned) const override { return false; }
};

std::mutex g_registry_lock;
Registry* g_registry = nullptr;
NullChannel g_null_channel;

struct RegistryKiller {
    ~RegistryKiller() {
        delete g_registry;
        g_registry = nullptr;
    }
} g_registry_killer;

IPmcLogChannel* channel_handle(std::atomic<IPmcLogChannel*>& slot, std::mutex& lock, const char* name) {
    IPmcLogChannel* c = slot.load(std::memory_order_acquire);
    if (c) return c;
    std::lock_guard<std::mutex> guard(lock);
    c = slot.load(std::memory_order_relaxed);
    if (!c) {
        IPmcLogRegistry* reg = pmc_log_registry();
        c = reg ? reg->get_channel(name) : nullptr;
        if (!c) c = &g_null_channel;
        slot.store(c, std::memory_order_release);
    }
    return c;
}

std::atomic<IPmcLogChannel*> g_snmp{nullptr};
std::atomic<IPmcLogChannel*> g_socket{nullptr};
std::mutex g_snmp_lock;
std::mutex g_socket_lock;

}  // namespace

IPmcLogRegistry* pmc_log_registry() {
    std::lock_guard<std::mutex> lock(g_registry_lock);
    if (!g_registry) g_registry = new (std::nothrow) Registry();
    return g_registry;
}

IPmcLogChannel* pmc_log_snmp() { return channel_handle(g_snmp, g_snmp_lock, "snmp"); }
IPmcLogChannel* pmc_log_socket() { return channel_handle(g_socket, g_socket_lock, "socket"); }

void pmc_log_file_sink_set_max(IPmcLogSink* sink, unsigned long max_bytes) {
    if (auto* f = dynamic_cast<FileSink*>(sink)) f->max_ = max_bytes;
}

}  // namespace devlink
