// The get-data facade as its caller reaches it: libdevlink.so loaded by path, its two exports
// looked up by name, requests to a real snmpd.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "facade/getdata.h"
#include "printeragent.h"
#include "sessiontesting.h"
#include "tempdir.h"

using namespace devlink;
using namespace devlinktest;

namespace {

using CreateGetData = IPmcGetData* (*)(long*);
using CreatePduList = IPmcPtrList<IPmsPdu>* (*)(long*);

class FacadeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        agent_ = new testsupport::SnmpAgent(PrinterAgentConfig());
        library_ = dlopen((testsupport::DriverDir() + "libdevlink.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library_) {
            create_ = reinterpret_cast<CreateGetData>(dlsym(library_, "_Z19pmc_create_get_dataPl"));
            create_list_ = reinterpret_cast<CreatePduList>(dlsym(library_, "_Z19pms_create_pdu_listPl"));
        }
    }
    static void TearDownTestSuite()
    {
        delete agent_;
        if (library_) dlclose(library_);
    }
    void SetUp() override
    {
        ASSERT_TRUE(agent_->running()) << agent_->error();
        ASSERT_NE(library_, nullptr) << dlerror();
        ASSERT_NE(create_, nullptr);
        ASSERT_NE(create_list_, nullptr);
        long r = -1;
        data_ = create_(&r);
        ASSERT_EQ(r, 0);
    }
    void TearDown() override
    {
        if (data_) data_->release();
    }
    long OpenV1(long timeout = 1000)
    {
        return data_->open("127.0.0.1", 1, static_cast<unsigned short>(agent_->port()), 0, nullptr, 0, 0, 0, nullptr,
                           nullptr, nullptr, timeout, 1, 0);
    }
    long OpenV3(const char* user, long level, long auth, long priv, const char* auth_pass, const char* priv_pass)
    {
        return data_->open("127.0.0.1", 1, static_cast<unsigned short>(agent_->port()), 2, user, level, auth, priv,
                           auth_pass, priv_pass, "", 1000, 1, 0);
    }

    static testsupport::SnmpAgent* agent_;
    static void* library_;
    static CreateGetData create_;
    static CreatePduList create_list_;
    IPmcGetData* data_ = nullptr;
};
testsupport::SnmpAgent* FacadeTest::agent_ = nullptr;
void* FacadeTest::library_ = nullptr;
CreateGetData FacadeTest::create_ = nullptr;
CreatePduList FacadeTest::create_list_ = nullptr;

TEST_F(FacadeTest, GetsIntegersAndTexts)
{
    ASSERT_EQ(OpenV1(), 0);
    ASSERT_EQ(data_->add_get_oid("1.3.6.1.2.1.1.1", true), 0);  // the instance .0 appended
    char text[256];
    ASSERT_EQ(data_->get_string(text, sizeof text), 0);
    EXPECT_STREQ(text, "Lumeno 4100DN");

    ASSERT_EQ(OpenV1(), 0);
    data_->add_get_oid(kPrinterStatus.c_str(), false);
    data_->add_get_oid(kPageCount.c_str(), false);  // a Counter32 is no INTEGER
    int32_t values[2] = {0, 0};
    ASSERT_EQ(data_->get_integers(values, 2), 0);
    EXPECT_EQ(values[0], 3);
    EXPECT_EQ(values[1], -1);
}

TEST_F(FacadeTest, MissingBindingsAndSmallBuffersAreRefused)
{
    ASSERT_EQ(OpenV1(), 0);
    data_->add_get_oid(kPrinterStatus.c_str(), false);
    data_->add_get_oid(kPrinterStatus.c_str(), false);
    int32_t values[3] = {0, 0, 0};
    EXPECT_EQ(data_->get_integers(values, 3), PMC_E_NOELEMENT);
    EXPECT_EQ(values[0], 3);
    EXPECT_EQ(values[1], 3);

    ASSERT_EQ(OpenV1(), 0);
    data_->add_get_oid(kSysDescr.c_str(), false);
    char small[5] = "xxxx";
    EXPECT_EQ(data_->get_string(small, sizeof small), PMC_E_INVALID);
    EXPECT_STREQ(small, "");

    EXPECT_EQ(data_->add_get_oid("1.3..6", false), PMC_E_INVALID);
    EXPECT_EQ(data_->set_community(std::string(256, 'c').c_str()), PMC_E_INVALID);
    EXPECT_EQ(data_->set_community("private"), 8);
}

TEST_F(FacadeTest, RequestsBeforeOpenOrWithoutAnAddressKindFail)
{
    int32_t value = 0;
    EXPECT_EQ(data_->add_get_oid(kSysDescr.c_str(), false), PMC_E_INVALID);
    EXPECT_EQ(data_->get_integer(&value), PMC_E_INVALID);
    ASSERT_EQ(data_->open("127.0.0.1", 0, static_cast<unsigned short>(agent_->port()), 0, nullptr, 0, 0, 0, nullptr,
                          nullptr, nullptr, 500, 0, 0),
              0);
    data_->add_get_oid(kPrinterStatus.c_str(), false);
    EXPECT_EQ(data_->get_integer(&value), PMC_E_INVALID);
}

TEST_F(FacadeTest, SetWritesAndRefusals)
{
    ASSERT_EQ(OpenV1(), 0);
    ASSERT_EQ(data_->add_set_integer("1.3.6.1.4.1.47301.9.1", "1", 42), 0);
    EXPECT_EQ(data_->set(), 0);
    ASSERT_EQ(OpenV1(), 0);
    data_->add_get_oid(kWritable.c_str(), false);
    int32_t value = 0;
    ASSERT_EQ(data_->get_integer(&value), 0);
    EXPECT_EQ(value, 42);

    ASSERT_EQ(OpenV1(), 0);  // sysUpTime cannot be written: SNMPv1 answers noSuchName
    data_->add_set_integer("1.3.6.1.2.1.1.3", "0", 1);
    EXPECT_EQ(data_->set(), PMC_E_NOELEMENT);
}

TEST_F(FacadeTest, WalksATableOfAThousandRows)
{
    IPmcPtrList<IPmsPdu>* list = create_list_(nullptr);
    ASSERT_EQ(OpenV1(), 0);
    data_->add_get_oid(kTable.c_str(), false);
    ASSERT_EQ(data_->walk(list, kTable.c_str()), 0);
    ASSERT_EQ(list->size(), kTableRows);
    auto* it = list->create_iterator(nullptr);
    for (int row = 1; row <= kTableRows; ++row, list->next(it)) {
        const IPmsPdu* pdu = list->get(it);
        ASSERT_EQ(OidText(pdu, 0), kTable + "." + std::to_string(row));
        ASSERT_EQ(ValueText(pdu, 0), "row " + std::to_string(row));
    }
    list->release_iterator(it);
    list->release();
}

TEST_F(FacadeTest, AWalkToTheEndOfTheAgentsViewEnds)
{
    IPmcPtrList<IPmsPdu>* list = create_list_(nullptr);
    ASSERT_EQ(OpenV1(), 0);
    const std::string last = kTable + "." + std::to_string(kTableRows);
    data_->add_get_oid(last.c_str(), false);
    EXPECT_EQ(data_->walk(list, "1.3.6.1.4.1.47301.9.3"), 0);
    EXPECT_EQ(list->size(), 0);
    list->release();
}

TEST_F(FacadeTest, SnmpV3AtEverySecurityLevel)
{
    struct Case {
        const char* user;
        long level, auth, priv;
    } cases[] = {{kUserNoAuth, 0, 0, 0}, {kUserMd5Des, 2, 1, 1}, {kUserShaAes, 2, 2, 2}};
    for (const Case& c : cases) {
        ASSERT_EQ(OpenV3(c.user, c.level, c.auth, c.priv, kAuthPass, kPrivPass), 0);
        data_->add_get_oid(kPrinterStatus.c_str(), false);
        int32_t value = 0;
        EXPECT_EQ(data_->get_integer(&value), 0) << c.user << " level " << c.level;
        EXPECT_EQ(value, 3) << c.user;
    }
}

TEST_F(FacadeTest, SnmpV3SecurityFailures)
{
    struct Case {
        const char* what;
        const char* user;
        long level, auth, priv;
        const char* auth_pass;
        long expected;
    } cases[] = {
        {"wrong pass phrase", kUserShaAes, 2, 2, 2, "not-the-password", PMC_E_SECURITY},
        {"unknown user", "nobody-here", 1, 2, 0, kAuthPass, PMC_E_SECURITY},
        {"level above the user's", kUserNoAuth, 1, 1, 0, kAuthPass, PMC_E_SECURITY},
        {"unknown protocol", kUserShaAes, 1, 3, 0, kAuthPass, PMC_E_INVALID},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(OpenV3(c.user, c.level, c.auth, c.priv, c.auth_pass, kPrivPass), 0);
        data_->add_get_oid(kPrinterStatus.c_str(), false);
        int32_t value = 0;
        EXPECT_EQ(data_->get_integer(&value), c.expected) << c.what;
    }
    // A level below the one the agent grants the user is answered, but without the data.
    for (long level : {0L, 1L}) {
        ASSERT_EQ(OpenV3(kUserShaAes, level, 2, 0, kAuthPass, kPrivPass), 0);
        data_->add_get_oid(kPrinterStatus.c_str(), false);
        int32_t refused = 0;
        EXPECT_EQ(data_->get_integer(&refused), 0);
        EXPECT_EQ(refused, -1) << "level " << level;
    }
    // The right pass phrase still works after the wrong one: nothing of it was kept.
    ASSERT_EQ(OpenV3(kUserShaAes, 2, 2, 2, kAuthPass, kPrivPass), 0);
    data_->add_get_oid(kPrinterStatus.c_str(), false);
    int32_t value = 0;
    EXPECT_EQ(data_->get_integer(&value), 0);
}

TEST_F(FacadeTest, AddressKinds)
{
    long kind = -1;
    EXPECT_EQ(data_->get_address_kind("192.168.0.10", &kind), 0);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(data_->get_address_kind("fe80::1", &kind), 0);
    EXPECT_EQ(kind, 4);
}

}  // namespace
