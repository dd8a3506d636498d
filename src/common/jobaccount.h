// Part 1.6 (and the record of Part 1.4): the account record (536 bytes, DocumentInfo item 16)
// and the job's view of it.
#pragma once

#include <cstddef>

#include "platform/win32.h"

constexpr DWORD JOBACCOUNT_FLAGS_ABSENT = 28;  // Flags when OEMJobAccountInfo has none
constexpr DWORD JOBACCOUNT_INFO_MAX = 2048;    // bytes of OEMJobAccountInfo

struct JobAccountRecord {
    DWORD dwFlags;
    WCHAR szUserId[33];
    WCHAR szAccountId[33];
    WCHAR szPassword[17];
    WCHAR szChargeUserId[33];
    WCHAR szChargePassword[17];
    WCHAR szPopupUserId[33];
    WCHAR szPopupAccountId[33];
    WCHAR szPopupPassword[17];
    WCHAR szPopupChargeUserId[33];
    WCHAR szPopupChargePassword[17];
};
static_assert(sizeof(JobAccountRecord) == 536, "the account record is 536 bytes");
static_assert(offsetof(JobAccountRecord, szUserId) == 4);
static_assert(offsetof(JobAccountRecord, szAccountId) == 70);
static_assert(offsetof(JobAccountRecord, szPassword) == 136);
static_assert(offsetof(JobAccountRecord, szChargeUserId) == 170);
static_assert(offsetof(JobAccountRecord, szChargePassword) == 236);
static_assert(offsetof(JobAccountRecord, szPopupUserId) == 270);
static_assert(offsetof(JobAccountRecord, szPopupAccountId) == 336);
static_assert(offsetof(JobAccountRecord, szPopupPassword) == 402);
static_assert(offsetof(JobAccountRecord, szPopupChargeUserId) == 436);
static_assert(offsetof(JobAccountRecord, szPopupChargePassword) == 502);

// Flags 28, every field empty.
void InitJobAccountRecord(JobAccountRecord* pRecord);
// The record from the OEMJobAccountInfo value: wide "key=value" strings, each terminated, the
// list ended by an empty string, cbInfo bytes at most (read no further). A key's value is taken
// from the first string that begins with the key and "="; values are cut to their field; a
// missing Flags key leaves 28. Keys: Flags (decimal), UserId, AccountId, Password, ChargeUserId,
// ChargePassword, PopupUserId, PopupAccountId, PopupPassword, PopupChargeUserId,
// PopupChargePassword.
void ParseJobAccountInfo(const BYTE* pInfo, DWORD cbInfo, JobAccountRecord* pRecord);
