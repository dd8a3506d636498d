#include "optiondetect.h"

#include <cstring>

#include "common/devquery.h"
#include "modellib/oupm.h"
#include "platform/spooler.h"

namespace {

constexpr const char* kTrayKeyword = "QNPaperTrayConfiguration";
constexpr const char* kDuplexKeyword = "QNDuplexOption";
constexpr const char* kMemoryKeyword = "InstalledMemory";
constexpr const char* kHardDiskKeyword = "QNHardDisk";

const char* TrayOption(int32_t nTrays) { return nTrays == 3 ? "1TrayModule" : "None"; }
const char* TrueFalse(bool b) { return b ? "True" : "False"; }

// Memory in megabytes to the installed-memory option. More than the largest option is the
// largest option: the printer has at least that much.
const char* MemoryOption(int32_t nMegabytes)
{
    if (nMegabytes <= 256) return "256Meg";
    if (nMegabytes <= 512) return "512Meg";
    if (nMegabytes <= 768) return "768Meg";
    return "1280Meg";
}

class PairWriter {
public:
    explicit PairWriter(OUPM_OPTIONRESULT* pResult) : pResult_(pResult) {}
    void Add(const char* pszKeyword, const char* pszOption)
    {
        pResult_->pPairs[pResult_->dwPairCount++] = {pszKeyword, pszOption};
    }
    bool Any() const { return pResult_->dwPairCount > 0; }

private:
    OUPM_OPTIONRESULT* pResult_;
};

// A printer-data value counts only when it has exactly the expected size.
template <typename T>
bool ReadSized(HANDLE hPrinter, const char16_t* pszName, T* pValue)
{
    BYTE buffer[16] = {};
    DWORD dwType = 0, cbNeeded = 0;
    if (GetPrinterDataW(hPrinter, pszName, &dwType, buffer, sizeof buffer, &cbNeeded) != ERROR_SUCCESS ||
        cbNeeded != sizeof(T))
        return false;
    std::memcpy(pValue, buffer, sizeof(T));
    return true;
}

bool DetectFromPrinterData(HANDLE hPrinter, PairWriter& pairs)
{
    int32_t nTrays = 0, nMemory = 0;
    WORD wDuplex = 0, wHardDisk = 0, wRamDisk = 0;
    if (!ReadSized(hPrinter, u"LM_InputTray", &nTrays)) return false;
    pairs.Add(kTrayKeyword, TrayOption(nTrays));
    if (!ReadSized(hPrinter, u"LM_DuplexModule", &wDuplex)) return false;
    pairs.Add(kDuplexKeyword, TrueFalse(wDuplex != 0));
    if (!ReadSized(hPrinter, u"LM_MemorySizeInMByte", &nMemory)) return false;
    pairs.Add(kMemoryKeyword, MemoryOption(nMemory));
    if (!ReadSized(hPrinter, u"LM_HardDisk", &wHardDisk)) return false;
    // The RAM disk's size is not checked; a failed read leaves it 0.
    if (wHardDisk == 0) {
        DWORD dwType = 0, cbNeeded = 0;
        GetPrinterDataW(hPrinter, u"LM_RamDisk", &dwType, reinterpret_cast<BYTE*>(&wRamDisk), sizeof wRamDisk,
                        &cbNeeded);
    }
    pairs.Add(kHardDiskKeyword, TrueFalse(wHardDisk != 0 || wRamDisk != 0));
    return true;
}

bool QueryTrue(HANDLE hDevice, const char* pszName)
{
    uint16_t wValue = 0;
    return DqGetValueBoolean(hDevice, pszName, &wValue) && wValue != 0;
}

bool DetectLive(HANDLE hDevice, OUPM_OPTIONRESULT* pResult, PairWriter& pairs)
{
    char szAddress[DQ_NETWORK_ADDRESS_SIZE] = {};
    if (!DqGetValueString(hDevice, "_KTZADC_NetworkAddress", szAddress)) return false;
    std::memcpy(pResult->szNetworkAddress, szAddress, sizeof szAddress);
    pResult->szNetworkAddress[OUPM_NETWORK_ADDRESS_SIZE - 1] = '\0';
    pairs.Add(kDuplexKeyword, TrueFalse(QueryTrue(hDevice, "DuplexModule")));
    int32_t nTrays = 0;
    const bool bTrays = DqGetValueInteger(hDevice, "NumberOfInputTray", &nTrays);
    pairs.Add(kTrayKeyword, TrayOption(bTrays ? nTrays : 0));
    int32_t nMemory = 0;
    if (DqGetValueInteger(hDevice, "MemorySizeInMByte", &nMemory)) pairs.Add(kMemoryKeyword, MemoryOption(nMemory));
    pairs.Add(kHardDiskKeyword, TrueFalse(QueryTrue(hDevice, "HardDisk") || QueryTrue(hDevice, "RamDisk")));
    return pairs.Any();
}

void ReadConnectionFacts(HANDLE hDevice, OUPM_OPTIONRESULT* pResult)
{
    char szCommunity[DQ_COMMUNITY_NAME_SIZE] = {};
    if (!DqGetValueString(hDevice, "_KTZADC_CommunityName", szCommunity)) szCommunity[0] = '\0';
    szCommunity[DQ_COMMUNITY_NAME_SIZE - 1] = '\0';
    std::memcpy(pResult->szCommunity, szCommunity, sizeof szCommunity);
    int32_t nVersion = 0;
    pResult->dwSnmpVersion = DqGetValueInteger(hDevice, "_KTZADC_SNMPVersion", &nVersion) ? static_cast<DWORD>(nVersion) : 0;
}

}  // namespace

void DetectDeviceOptions(void* pRequest, void* pResultOut)
{
    auto* pQuery = static_cast<const OUPM_OPTIONQUERY*>(pRequest);
    auto* pResult = static_cast<OUPM_OPTIONRESULT*>(pResultOut);
    if (!pResult) return;
    pResult->dwPairCount = 0;
    if (!pQuery || pQuery->dwSize != sizeof(OUPM_OPTIONQUERY) || !pResult->pPairs) return;
    if (!DqAcceptLibraryPath(pQuery->pszLibraryPath)) return;
    PairWriter pairs(pResult);
    if (pResult->hPrinter)
        DetectFromPrinterData(pResult->hPrinter, pairs);
    else
        DetectLive(pQuery->hDevice, pResult, pairs);
    ReadConnectionFacts(pQuery->hDevice, pResult);
}
