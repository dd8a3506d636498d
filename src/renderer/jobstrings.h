// The job-owner strings and the job's account record, kept apart from the printer-data
// declarations so that the two sides' account-record types never meet in one unit.
#pragma once

#include "platform/win32.h"

constexpr DWORD JOB_ACCOUNT_RECORD_SIZE = 536;

// What the job-owner side needs from printer data, answered by the rendering plug-in.
struct JobDataCallbacks {
    bool (*pfnReadOwnerName)(void* pContext, DWORD dwSource, LPWSTR pszName, DWORD cbName);
    bool (*pfnIsAccountModeOn)(void* pContext);
    bool (*pfnReadAccountRecord)(void* pContext, BYTE record[JOB_ACCOUNT_RECORD_SIZE]);
    bool (*pfnReadSelectId)(void* pContext, LPSTR pszOption, DWORD cbOption);
    void* pContext;
};

bool MakeOwnerString(const JobDataCallbacks& data, DWORD dwSpecifyJobOwner, DWORD dwOwnerSourceMode, WORD wStringCode,
                     LPSTR pszOut, DWORD cbOut);
bool MakeHostAddressString(LPSTR pszOut, DWORD cbOut);
void MakeAccountRecord(const JobDataCallbacks& data, BYTE record[JOB_ACCOUNT_RECORD_SIZE]);
void ResetOwnerKitBinding();
