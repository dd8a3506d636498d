// IPmcBytes: a byte string for text and raw bytes alike.
#pragma once

#include "devlink.h"

namespace devlink {

class IPmcBytes {
public:
    virtual void release() = 0;
    virtual long get_length() const = 0;
    virtual const char* get_data() const = 0;  // null when empty; always zero-terminated
    virtual long set(const void* data, long length) = 0;
    virtual long set_text(const char* text) = 0;
    virtual long append(const void* data, long length) = 0;
    virtual long append_text(const char* text) = 0;
    virtual long append_bytes(const IPmcBytes* other) = 0;
    virtual IPmcBytes* clone(long* result) const = 0;
    virtual bool equals(const void* data, long length) const = 0;
    virtual bool equals_text(const char* text) const = 0;
    virtual bool equals_bytes(const IPmcBytes* other) const = 0;
protected:
    virtual ~IPmcBytes() = default;
};

IPmcBytes* pmc_create_bytes(long* result);
IPmcBytes* pmc_create_bytes_from(const void* data, long length, long* result);

}  // namespace devlink
