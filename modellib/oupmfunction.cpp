// The one export of the model library: every model question by function number.
#include <cstring>

#include "modellib/oupm.h"
#include "modeltables.h"
#include "pictures.h"

namespace {

template <typename T>
void Answer(void* out, T value)
{
    if (out) std::memcpy(out, &value, sizeof value);
}

void AnswerString(void* out, const char* psz)
{
    if (!out) return;
    char* dest = static_cast<char*>(out);
    const size_t len = psz ? strnlen(psz, OUPM_STRING_BUFFER_SIZE - 1) : 0;
    if (len) std::memcpy(dest, psz, len);
    dest[len] = '\0';
}

const StringPairEntry* FindStringPair(const ModelRecord& model, DWORD dwKey)
{
    for (const StringPairEntry* p = model.pStringPairs; p && p->dwKey; ++p)
        if (p->dwKey == dwKey) return p;
    return nullptr;
}

const HardDiskEntry* FindHardDisk(const ModelRecord& model)
{
    for (const HardDiskEntry* p = model.pHardDisk; p && p->dwKey; ++p)
        if (p->dwKey == 1) return p;
    return nullptr;
}

constexpr WORD kNoFormTrayTable = 11;

WORD LookUpFormTray(const FormTrayEntry* table, const char* pszName)
{
    if (!table) return kNoFormTrayTable;
    const FormTrayEntry* p = table;
    while (p->pszName && !(pszName && std::strcmp(p->pszName, pszName) == 0)) ++p;
    return p->wValue;
}

WORD FormTrayCode(const ModelRecord& model, const char* pszKeyword)
{
    // The whole name with its terminator must match; a string compare never reads past a
    // shorter keyword.
    if (pszKeyword && std::strcmp(pszKeyword, "*UseFormTrayTable") == 0) return 0;
    return LookUpFormTray(model.pFormTray, pszKeyword);
}

DWORD ProductToModel(const char* pszName)
{
    const ModelRecord* p = ModelRecords();
    while (p->pszProductName && !(pszName && std::strcmp(p->pszProductName, pszName) == 0)) ++p;
    return p->wModel;
}

DWORD IsSupported(const ModelRecord& model, DWORD dwAsked)
{
    if (dwAsked == KTPS_PRNFUNC_GETPRINTERTYPE) return 1;
    if (model.wModel == 0) return 0;
    return IsListedFunction(dwAsked) ? 1 : 0;
}

void DeviceQueryInfo(WORD wModel, void* out)
{
    auto* info = static_cast<OUPM_DEVICEQUERYINFO*>(out);
    const DeviceQueryRecord* record = FindDeviceQueryRecord(wModel);
    if (!info || !record || info->dwSize != sizeof(OUPM_DEVICEQUERYINFO)) return;
    info->pszDeviceComponent = record->pszDeviceComponent;
    info->pszPrivateMib = record->pszPrivateMib;
    info->pszThird = record->pszThird;
}

void DeviceOptions(WORD wModel, void* in, void* out)
{
    const DeviceQueryRecord* record = FindDeviceQueryRecord(wModel);
    if (record && record->pfnDetect) record->pfnDetect(in, out);
}

}  // namespace

LUMENO_EXPORT DWORD OupmFunction(DWORD function, DWORD model, void* in, void* out)
{
    if (function == OUPF_FUNCID_GETPICTUREKEYWORDS) {
        CopyPictureKeywords(static_cast<const DWORD*>(in), static_cast<BYTE*>(out));
        return 0;
    }
    if (function == OUPF_FUNCID_GETPICTUREID) {
        Answer<DWORD>(out, FindPictureId(static_cast<const char*>(in)));
        return 0;
    }
    const WORD wModel = static_cast<WORD>(model);
    const ModelRecord& record = FindModelRecord(wModel);
    switch (function) {
    case OUPF_FUNCID_ISSUPPORTED:
        Answer<DWORD>(out, IsSupported(record, static_cast<DWORD>(reinterpret_cast<uintptr_t>(in))));
        break;
    case KTPS_PRNFUNC_GETPRINTERTYPE: Answer<WORD>(out, static_cast<WORD>(ProductToModel(static_cast<const char*>(in)))); break;
    case OUPF_FUNCID_GETSTRINGPAIR1: {
        const StringPairEntry* pair = FindStringPair(record, 1);
        AnswerString(out, pair ? pair->pszFirst : nullptr);
        break;
    }
    case OUPF_FUNCID_COMPARESTRINGPAIR1: {
        const StringPairEntry* pair = FindStringPair(record, 1);
        const char* psz = static_cast<const char*>(in);
        Answer<DWORD>(out, (pair && psz && std::strcmp(psz, pair->pszSecond) != 0) ? 1 : 0);
        break;
    }
    case OUPF_FUNCID_GETFORMTRAYCODE: Answer<WORD>(out, FormTrayCode(record, static_cast<const char*>(in))); break;
    case OUPF_FUNCID_GETFORMTRAYCODE2: {
        const auto* pair = static_cast<const OUPM_KEYWORD_PAIR*>(in);
        WORD wCode = FormTrayCode(record, pair ? pair->pszFirst : nullptr);
        if (wCode == 8) wCode = LookUpFormTray(record.pFormTray2, pair ? pair->pszSecond : nullptr);
        Answer<WORD>(out, wCode);
        break;
    }
    case OUPF_FUNCID_GETSUPPORTTYPE_JCL: Answer<WORD>(out, record.wJclType); break;
    case OUPF_FUNCID_GETSUPPORTTYPE_BRANTEL: Answer<WORD>(out, record.wBrantelType); break;
    case OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT: Answer<WORD>(out, record.wSecurePrintType); break;
    case OUPF_FUNCID_GETWORD109: Answer<WORD>(out, record.wFunction109); break;
    case OUPF_FUNCID_GETHARDDISKKEYWORD: {
        const HardDiskEntry* disk = FindHardDisk(record);
        AnswerString(out, disk ? disk->pszKeyword : nullptr);
        break;
    }
    case OUPF_FUNCID_GETHARDDISKINSTALLED: {
        const HardDiskEntry* disk = FindHardDisk(record);
        Answer<DWORD>(out, disk ? disk->dwValue : 0);
        break;
    }
    case OUPF_FUNCID_GETSTRINGPAIR2: {
        const StringPairEntry* pair = FindStringPair(record, 2);
        AnswerString(out, pair ? pair->pszFirst : nullptr);
        break;
    }
    case OUPF_FUNCID_COMPARESTRINGPAIR2: {
        const StringPairEntry* pair = FindStringPair(record, 2);
        const char* psz = static_cast<const char*>(in);
        Answer<DWORD>(out, (pair && psz && std::strcmp(psz, pair->pszSecond) == 0) ? 1 : 0);
        break;
    }
    case OPMP_FUNCID_GETDEVICEOPTIONNUM: {
        const DeviceQueryRecord* dq = FindDeviceQueryRecord(wModel);
        Answer<DWORD>(out, dq ? dq->wOptionCount : 0);
        break;
    }
    case OUPF_FUNCID_GETCAPABILITY: Answer<DWORD>(out, record.dwCapability); break;
    case OPMP_FUNCID_GETDEVICEQUERYINFO: DeviceQueryInfo(wModel, out); break;
    case OPMP_FUNCID_GETDEVICEOPTIONS: DeviceOptions(wModel, in, out); break;
    case OUPF_FUNCID_GETTEXTLIMITS: Answer<const OUPM_FIELDLIMIT*>(out, record.pTextLimits); break;
    case OUPF_FUNCID_GETJOBOWNERLIMITS: Answer<const OUPM_FIELDLIMIT*>(out, record.pJobOwnerLimits); break;
    default: break;  // nothing to answer
    }
    return 0;
}
