#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "snmp/pdu.h"

using namespace devlink;

namespace {

IPmsVarBindList* list_of(int n) {
    IPmsVarBindList* l = pms_create_varbind_list(nullptr);
    for (int i = 0; i < n; ++i) l->add(pms_create_oid(("1.3.6." + std::to_string(i)).c_str(), nullptr), nullptr);
    return l;
}

TEST(DevlinkPdu, VarBindNullValue) {
    IPmsVarBind* b = pms_create_varbind(nullptr);
    b->set(pms_create_oid("1.3", nullptr), nullptr);
    ASSERT_NE(b->get_value(), nullptr);
    EXPECT_EQ(b->get_value()->get_type(), PMS_NULL);
    b->set_value(nullptr);
    EXPECT_EQ(b->get_value(), nullptr);
    b->release();
}

TEST(DevlinkPdu, MarkError) {
    IPmsVarBindList* l = list_of(5);
    l->mark_error(2, 3);
    long want[] = {100, 100, 2, 100, 100};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(l->get(i)->get_error(), want[i]);
    l->release();
}

TEST(DevlinkPdu, SubListAndSplit) {
    IPmsVarBindList* l = list_of(5);
    long r = 0;
    IPmsVarBindList* s = l->sub_list(3, 5, &r);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->get_count(), 2);
    EXPECT_STREQ(s->get(0)->get_oid()->get_text(), "1.3.6.3");
    s->release();
    EXPECT_EQ(l->sub_list(5, 1, &r), nullptr);
    EXPECT_EQ(r, -2);
    l->release();
    IPmsVarBindList* four = list_of(4);
    IPmsVarBindList* front = four->split_front(10, &r);
    EXPECT_EQ(front->get_count(), 4);
    EXPECT_EQ(four->get_count(), 0);
    front->release();
    four->release();
}

std::vector<std::string> names_in(const IPmsVarBindList* l) {
    std::vector<std::string> names;
    for (long i = 0; i < l->get_count(); ++i) names.push_back(l->get(i)->get_oid()->get_text());
    return names;
}

// A list keeps its first few bindings in room of its own and moves to a larger array beyond it;
// every edit, back and forth across that edge, keeps the bindings and their order.
TEST(DevlinkPdu, ListEditsAcrossItsOwnRoom) {
    IPmsVarBindList* l = pms_create_varbind_list(nullptr);
    std::vector<std::string> model;
    int next = 0;
    auto name = [&] { return "1.3.6." + std::to_string(next++); };
    auto add = [&](int n) {
        for (int i = 0; i < n; ++i) {
            model.push_back(name());
            ASSERT_EQ(l->add(pms_create_oid(model.back().c_str(), nullptr), nullptr), 0);
        }
    };
    add(3);
    model.insert(model.begin(), name());
    ASSERT_EQ(l->insert_front(pms_create_oid(model.front().c_str(), nullptr), nullptr), 0);
    EXPECT_EQ(names_in(l), model);
    add(3);  // past the list's own room
    EXPECT_EQ(names_in(l), model);
    ASSERT_EQ(l->remove(2, nullptr), 0);
    model.erase(model.begin() + 2);
    IPmsVarBind* first = l->take_front();
    EXPECT_STREQ(first->get_oid()->get_text(), model.front().c_str());
    first->release();
    model.erase(model.begin());
    EXPECT_EQ(names_in(l), model);
    long r = 0;
    IPmsVarBindList* front = l->split_front(3, &r);
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(names_in(front), std::vector<std::string>(model.begin(), model.begin() + 3));
    model.erase(model.begin(), model.begin() + 3);
    EXPECT_EQ(names_in(l), model);
    l->truncate(0);
    model.clear();
    add(6);  // the emptied list fills again, through its room and past it
    EXPECT_EQ(names_in(l), model);
    IPmsVarBindList* copy = l->clone(&r);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->equals(l));
    copy->release();
    front->release();
    l->release();
}

TEST(DevlinkPdu, PduRules) {
    IPmsPdu* a = pms_create_pdu(nullptr);
    IPmsPdu* b = pms_create_pdu(nullptr);
    EXPECT_FALSE(a->equals(b));
    IPmsValue* i = pms_create_value(PMS_INTEGER, nullptr);
    EXPECT_EQ(a->set_time_stamp(i), -2);
    i->release();
    a->release();
    b->release();
}

TEST(DevlinkPdu, Targets) {
    IPmsSnmpTarget* u = pms_create_usm_target(nullptr);
    IPmsUsm* usm = u->as_usm();
    usm->set_user_name("admin");
    EXPECT_EQ(usm->set_user_name(std::string(33, 'x').c_str()), -2);
    EXPECT_STREQ(usm->get_user_name(), "admin");
    u->set_version(2);
    u->set_timeout(500);
    u->set_retries(3);
    u->set_max_size(1400);
    u->set_port(161);
    IPmcNetworkAddress* addr = pmc_create_network_address(nullptr);
    addr->set("10.0.0.1", 1, 161);
    u->set_address(addr);
    addr->release();
    IPmsSnmpTarget* c = pms_create_target(0, nullptr);
    EXPECT_EQ(c->copy_from(u), -2);
    EXPECT_EQ(c->get_version(), 2);
    EXPECT_EQ(c->get_timeout(), 500);
    EXPECT_EQ(c->get_retries(), 3);
    EXPECT_EQ(c->get_max_size(), 1400ul);
    EXPECT_EQ(c->get_port(), 161);
    ASSERT_NE(c->get_address(), nullptr);
    EXPECT_STREQ(c->get_address()->get_text(), "10.0.0.1");
    long r = 0;
    EXPECT_EQ(pms_create_target(1, &r), nullptr);
    EXPECT_EQ(r, -2);
    c->release();
    u->release();
}

TEST(DevlinkPdu, PtrList) {
    IPmcPtrList<IPmsPdu>* l = pms_create_pdu_list(nullptr);
    EXPECT_EQ(l->pop_front(), 0);
    IPmsPdu* p = pms_create_pdu(nullptr);
    l->push_back(p);
    l->push_back(pms_create_pdu(nullptr));
    auto* it = l->create_iterator(nullptr);
    EXPECT_EQ(l->get(it), p);
    l->erase(it);  // p stays alive
    EXPECT_EQ(l->size(), 1);
    p->set_type(2);
    p->release();
    l->release_iterator(it);
    EXPECT_EQ(l->pop_front(), 0);
    EXPECT_EQ(l->size(), 0);
    l->release();
}

}  // namespace
