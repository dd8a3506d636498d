// Log and trace framework. Channels are inert by default: an empty level mask and
// no sink. For debugging, the environment variable LUMENO_DEVLINK_LOG attaches a sink to the
// default channel "All" when the registry is created (see docs/devlink.md).
#pragma once

#include <cstdarg>

#include "devlink.h"

namespace devlink {

enum PmcLogLevel : unsigned {
    PMC_LOG_ERROR = 1,
    PMC_LOG_WARN = 2,
    PMC_LOG_INFO = 4,
    PMC_LOG_DEBUG = 8,
    PMC_LOG_TRACE = 16,
    PMC_LOG_ALL = 31,
};

// The interface common to all framework objects; query by the 36-character GUID text.
class IPmcLogObject {
public:
    virtual long query_interface(const char* iid, void** out) = 0;
protected:
    virtual ~IPmcLogObject() = default;
};

class IPmcLogSink : public IPmcLogObject {
public:
    virtual void release() = 0;
    virtual const char* get_name() const = 0;
    virtual long write(const char* line) = 0;
};

class IPmcLogChannel : public IPmcLogObject {
public:
    virtual const char* get_name() const = 0;
    virtual void set_mask(unsigned mask) = 0;
    virtual unsigned get_mask() const = 0;
    virtual void set_flags(unsigned flags) = 0;
    virtual unsigned get_flags() const = 0;
    virtual long set_base(int base) = 0;
    virtual int get_base() const = 0;
    virtual void set_indent(int indent) = 0;
    virtual int get_indent() const = 0;
    // The channel takes the sink.
    virtual long add_sink(IPmcLogSink* sink) = 0;
    virtual long log(unsigned level, const char* format, ...) __attribute__((format(printf, 3, 4))) = 0;
    virtual long vlog(unsigned level, const char* format, va_list args) = 0;
    // True when a message of that level would be handled (a cheap mask test).
    virtual bool enabled(unsigned level) const = 0;
};

class IPmcLogRegistry : public IPmcLogObject {
public:
    virtual IPmcLogChannel* get_channel(const char* name) = 0;
    virtual IPmcLogChannel* get_default_channel() = 0;
    // kind "stdout" or "file"; for "file" the property "ExtentionName" is the path.
    virtual IPmcLogSink* create_sink(const char* kind, const char* property, const char* value,
                                     long* result) = 0;
};

// Interface identifiers.
extern const char* const PMC_IID_LOG_OBJECT;
extern const char* const PMC_IID_LOG_SINK;
extern const char* const PMC_IID_LOG_CHANNEL;
extern const char* const PMC_IID_LOG_REGISTRY;

IPmcLogRegistry* pmc_log_registry();
// The library's channel handles ("snmp" and "socket"); never null (an inert channel stands in).
IPmcLogChannel* pmc_log_snmp();
IPmcLogChannel* pmc_log_socket();
// Maximum size of a file sink (4 MiB by default); for tests.
void pmc_log_file_sink_set_max(IPmcLogSink* sink, unsigned long max_bytes);

// "[%s] enter." / "[%s] exit." at level Trace around a scope.
class PmcTrace {
public:
    PmcTrace(IPmcLogChannel* channel, const char* name) : channel_(channel), name_(name) {
        if (channel_->enabled(PMC_LOG_TRACE)) channel_->log(PMC_LOG_TRACE, "[%s] enter.", name_);
    }
    ~PmcTrace() {
        if (channel_->enabled(PMC_LOG_TRACE)) channel_->log(PMC_LOG_TRACE, "[%s] exit.", name_);
    }
    PmcTrace(const PmcTrace&) = delete;
    PmcTrace& operator=(const PmcTrace&) = delete;
private:
    IPmcLogChannel* channel_;
    const char* name_;
};

}  // namespace devlink

// Logging with the mask test in front, so that inert channels cost no formatting.
#define PMC_LOG(channel, level, ...)                                              \
    do {                                                                          \
        ::devlink::IPmcLogChannel* pmc_ch_ = (channel);                           \
        if (pmc_ch_->enabled(level)) pmc_ch_->log(level, __VA_ARGS__);            \
    } while (0)
