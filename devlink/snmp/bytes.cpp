#include "snmp/bytes.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace devlink {
namespace {

class CPmcBytes final : public IPmcBytes {
public:
    ~CPmcBytes() override { std::free(data_); }
    void release() override { delete this; }
    long get_length() const override { return len_; }
    const char* get_data() const override { return len_ ? data_ : nullptr; }
    long set(const void* data, long length) override {
        if (length <= 0 || !data) {
            len_ = 0;
            if (data_) data_[0] = 0;
            return 0;
        }
        if (!reserve(length)) return PMC_E_NOMEM;
        std::memmove(data_, data, static_cast<size_t>(length));
        len_ = length;
        data_[len_] = 0;
        return 0;
    }
    long set_text(const char* text) override { return set(text, text ? static_cast<long>(std::strlen(text)) : 0); }
    long append(const void* data, long length) override {
        if (length <= 0 || !data) return 0;
        if (!reserve(len_ + length)) return PMC_E_NOMEM;
        std::memmove(data_ + len_, data, static_cast<size_t>(length));
        len_ += length;
        data_[len_] = 0;
        return 0;
    }
    long append_text(const char* text) override { return text ? append(text, static_cast<long>(std::strlen(text))) : 0; }
    long append_bytes(const IPmcBytes* other) override {
        if (!other) return PMC_E_INVALID;
        return append(other->get_data(), other->get_length());
    }
    IPmcBytes* clone(long* result) const override { return pmc_create_bytes_from(data_, len_, result); }
    bool equals(const void* data, long length) const override {
        if (length != len_) return false;
        return len_ == 0 || (data && std::memcmp(data_, data, static_cast<size_t>(len_)) == 0);
    }
    bool equals_text(const char* text) const override {
        return equals(text, text ? static_cast<long>(std::strlen(text)) : 0);
    }
    bool equals_bytes(const IPmcBytes* other) const override {
        return other && equals(other->get_data(), other->get_length());
    }

private:
    bool reserve(long n) {
        if (n + 1 <= cap_) return true;
        long cap = cap_ ? cap_ : 16;
        while (cap < n + 1) cap *= 2;
        char* p = static_cast<char*>(std::realloc(data_, static_cast<size_t>(cap)));
        if (!p) return false;
        data_ = p;
        cap_ = cap;
        return true;
    }
    char* data_ = nullptr;
    long len_ = 0;
    long cap_ = 0;
};

}  // namespace

IPmcBytes* pmc_create_bytes(long* result) {
    auto* b = new (std::nothrow) CPmcBytes();
    set_result(result, b ? PMC_OK : PMC_E_NOMEM);
    return b;
}

IPmcBytes* pmc_create_bytes_from(const void* data, long length, long* result) {
    auto* b = new (std::nothrow) CPmcBytes();
    if (!b) {
        set_result(result, PMC_E_NOMEM);
        return nullptr;
    }
    long r = b->set(data, length);
    if (r != 0) {
        b->release();
        set_result(result, r);
        return nullptr;
    }
    set_result(result, PMC_OK);
    return b;
}

}  // namespace devlink
