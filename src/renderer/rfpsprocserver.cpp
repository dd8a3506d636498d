// "PSProcServer": the PostScript fragments written at the host's injection points.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/debug.h"
#include "common/devmode.h"
#include "common/multiunitvalue.h"
#include "common/settingsreader.h"
#include "renderer/pluginrenderingsystem.h"
#include "renderer/renderingfunction.h"
#include "renderer/rsettings.h"

namespace {

constexpr DWORD INJECT_NEWSHEET_BEGIN = 0x10100001;
constexpr DWORD INJECT_NEWSHEET_END = 0x10100002;
constexpr DWORD PDCAP_ROTATE_SECOND = 0x00000008;

const char kVerticalRotation[] =
    "/VerticalRotation{2 dict begin/OrgY exch def/OrgX exch def mysetup 180 matrix\r\n"
    "rotate matrix concatmatrix dup 4 OrgX put dup 5 OrgY put mysetup matrix\r\n"
    "invertmatrix concat concat end}bind def";

const char kFitToPage[] =
    "/FitToPageInit\r\n      {OEMPluginDict\r\n            dup/MgBY 4 -1 roll put\r\n            dup/MgTY 4 -1 roll put\r\n"
    "            dup/MgRX 4 -1 roll put\r\n            dup/MgLX 4 -1 roll put\r\n            dup/NewY 4 -1 roll put\r\n"
    "            dup/NewX 4 -1 roll put\r\n            dup/OrigY 4 -1 roll put\r\n            dup/OrigX 4 -1 roll put\r\n"
    "            dup/ChangeSize true put\r\n               /setPrimaryMatrix true put\r\n      }bind def\r\n"
    "userdict/setpagedevice\r\n      {dup/PageSize known exch\r\n"
    "       dup/ImagingBBox known 3 -1 roll and OEMPluginDict/ChangeSize get and\r\n"
    "             {dup/PageSize OEMPluginDict/NewX get OEMPluginDict/NewY get 2 array astore put}if\r\n"
    "      OEMPluginDict/setPrimaryMatrix get\r\n             {OEMPluginDict/PrimaryMatrix matrix currentmatrix put}if\r\n"
    "      systemdict/setpagedevice get exec\r\n      }bind put\r\n/FitToPageSet\r\n      {OEMPluginDict\r\n"
    "            dup/OrigY 4 -1 roll put\r\n            /OrigX 3 -1 roll put\r\n      }bind def\r\n/FitToPage\r\n"
    "      {OEMPluginDict\r\n            dup/setPrimaryMatrix false put\r\n"
    "            dup/PrimaryMatrix get matrix currentmatrix exch matrix invertmatrix matrix concatmatrix/TransformMatrix exch def\r\n"
    "            dup/PrimaryMatrix get setmatrix\r\n            dup/OrigX get exch\r\n            dup/MgLX get exch\r\n"
    "            dup/MgRX get exch 4 2 roll sub 3 -1 roll sub/ImageOrigX exch def\r\n            dup/OrigY get exch\r\n"
    "            dup/MgTY get exch\r\n            dup/MgBY get exch 4 2 roll sub 3 -1 roll sub/ImageOrigY exch def\r\n"
    "            dup/NewX get exch\r\n            dup/MgLX get exch\r\n"
    "            dup/MgRX get exch 4 2 roll sub 3 -1 roll sub/ImageNewX exch def\r\n            dup/NewY get exch\r\n"
    "            dup/MgTY get exch\r\n            dup/MgBY get exch 4 2 roll sub 3 -1 roll sub/ImageNewY exch def\r\n"
    "            /ScaleX ImageNewX ImageOrigX div def\r\n            /ScaleY ImageNewY ImageOrigY div def\r\n"
    "            ScaleX ScaleY lt/Scale exch{ScaleX}{ScaleY}ifelse def\r\n            dup/NewX get 2 div exch\r\n"
    "            dup/NewY get 2 div 3 -1 roll exch translate\r\n            Scale dup scale\r\n"
    "            dup/OrigX get 2 div neg exch/OrigY get 2 div neg translate\r\n            TransformMatrix concat\r\n"
    "      }bind def";

const char kLineCorrection[] =
    "featurebegin {\r\n userdict /Pscript_WinNT_Incr known {\r\n  userdict /Pscript_WinNT_Incr get dup /OrgMx known {\r\n"
    "   begin\r\n   /OrgMx matrix currentmatrix d\r\n   end\r\n  }{\r\n   pop\r\n  }ifelse\r\n } if\r\n} featurecleanup\r\n";

bool Is(const char* a, const char* b) { return std::strcmp(a, b) == 0; }
bool OneOf(const char* s, std::initializer_list<const char*> list)
{
    for (const char* v : list)
        if (Is(s, v)) return true;
    return false;
}

// Whole points of a length in micrometres.
std::string Points(DWORD dwMicrometres)
{
    char sz[MUV_TEXT_SIZE] = {};
    MultiUnitValue(dwMicrometres, MUV_MICROMETRE).Print(sz, sizeof(sz), 0, MUV_POINT);
    return sz;
}

std::string Millimetres3(DWORD dwMicrometres)
{
    char sz[MUV_TEXT_SIZE] = {};
    MultiUnitValue(dwMicrometres, MUV_MICROMETRE).Print(sz, sizeof(sz), 3, MUV_MILLIMETRE);
    return sz;
}

class PSProcServer final : public RenderingFunction {
public:
    ~PSProcServer() override { delete m_pReaders; }
    LPCSTR Name() const override { return "PSProcServer"; }

    HRESULT AttachSystem(IRenderingSystem* pSystem) override
    {
        const HRESULT hr = RenderingFunction::AttachSystem(pSystem);
        if (FAILED(hr)) return hr;
        if (!m_pPrivateDM || !m_hPrinter) {
            DetachSystem();
            return E_FAIL;
        }
        delete m_pReaders;
        m_pReaders = new RenderReaders(m_hPrinter, Dm(), m_pCore, m_pdevobj);
        if (!m_pReaders || !m_pReaders->IsValid()) {
            DetachSystem();
            return E_FAIL;
        }
        return S_OK;
    }

    HRESULT OnInject(DWORD dwIndex) override;

private:
    const OEMPrivateDevmode* Dm() const
    {
        auto* p = static_cast<const OEMPrivateDevmode*>(m_pPrivateDM);
        return p && IsValidPrivateDevmode(p) ? p : nullptr;
    }
    RenderReaders& R() { return *m_pReaders; }
    bool Text(LPCSTR k, char* out, DWORD cb = 256) { return R().Text(k, out, cb); }
    bool On(LPCSTR k)
    {
        bool b = false;
        return R().Bool(k, &b) && b;
    }
    bool Opt(LPCSTR k, char* out, DWORD cb = 256) { return R().Option(k, out, cb); }
    bool Portrait() const { return !m_pPublicDM || m_pPublicDM->dmOrientation != DMORIENT_LANDSCAPE; }
    bool SignatureSet()
    {
        char sz[64] = {};
        return Opt("KTSignature", sz, sizeof(sz)) && !Is(sz, "None");
    }
    bool PageSize(char* out, DWORD cb) { return Opt("PageSize", out, cb) || Opt("PageRegion", out, cb); }

    void Write(const std::string& s)
    {
        if (s.empty()) return;
        if (!m_bBracket) {
            static const char kBegin[] = "%-OEMPluginInsertBegin\r\n";
            m_pSystem->WriteSpoolBuf(kBegin, sizeof(kBegin) - 1);
            m_bBracket = true;
        }
        m_pSystem->WriteSpoolBuf(s.data(), static_cast<DWORD>(s.size()));
    }
    void Resource(const std::string& name, const std::string& body)
    {
        if (m_resources.empty()) Write("userdict /OEMPluginDict 100 dict dup begin put\r\n");
        Write("%%BeginResource: file " + name + "\r\n" + body + "\r\n%%EndResource\r\n");
        m_resources.push_back(name);
    }
    void PpdFeature(LPCSTR pszFeature, LPCSTR pszOption)
    {
        if (!m_pCore) return;
        char szFeature[64] = {};
        R().MapKeyword(pszFeature, szFeature, sizeof(szFeature));
        DWORD dwType = 0, cbNeeded = 0;
        m_pCore->GetOptionAttribute(m_pdevobj, 0, szFeature, pszOption, "Invocation", &dwType, nullptr, 0, &cbNeeded);
        if (!cbNeeded || cbNeeded > 0x10000) return;
        std::string inv(cbNeeded, '\0');
        if (FAILED(m_pCore->GetOptionAttribute(m_pdevobj, 0, szFeature, pszOption, "Invocation", &dwType,
                                               reinterpret_cast<BYTE*>(inv.data()), cbNeeded, &cbNeeded)) ||
            dwType != kADT_BINARY)
            return;
        inv.resize(cbNeeded);
        Write(std::string("featurebegin{\r\n%%BeginFeature: *") + szFeature + " " + pszOption + "\r\n" + inv +
              "\r\n%%EndFeature\r\n}featurecleanup\r\n");
    }
    void NonPpdFeature(const std::string& name, const std::string& option, const std::string& body)
    {
        Write("featurebegin{\r\n%%BeginNonPPDFeature: OEMPlugin" + name + (option.empty() ? "" : " " + option) + "\r\n" +
              body + "\r\n%%EndNonPPDFeature\r\n}featurecleanup\r\n");
    }
    void CustomCall(const std::string& name, const std::string& proc, const std::string& args)
    {
        NonPpdFeature(name, args, args + "/Custom/ProcSet findresource/" + proc + " get exec");
    }

    void AdvancePageCounter();
    void RunList(DWORD dwIndex);
    void FitToPage(DWORD dwIndex);
    bool SignatureSizeCheck();
    bool SignatureTarget(char* out, DWORD cb);
    void PreConfigColorDuplex();
    std::string RotationOrigin();
    std::string DocPageSize();

    RenderReaders* m_pReaders = nullptr;
    bool m_bBracket = false;
    std::vector<std::string> m_resources;
    bool m_bFitActive = true;
    bool m_bSigCheck = true;
    // Page counter.
    int m_nLogical = 0, m_nSheet = 0, m_nPosition = 0, m_nPerSheet = 1;
    bool m_bRotateSecond = false, m_bNewSheet = false;
    DEVMODEW m_dmCurrent{}, m_dmPrevious{};
    std::string m_slotCurrent, m_slotPrevious;
};

void PSProcServer::AdvancePageCounter()
{
    m_dmPrevious = m_dmCurrent;
    m_slotPrevious = m_slotCurrent;
    if (m_pPublicDM) std::memcpy(&m_dmCurrent, m_pPublicDM, sizeof(DEVMODEW));
    char szSlot[64] = {};
    m_slotCurrent = Opt("InputSlot", szSlot, sizeof(szSlot)) ? szSlot : "";
    if (m_nLogical == 0) {
        m_nLogical = m_nSheet = m_nPosition = 1;
        LONG l = 1;
        m_nPerSheet = R().settings().ReadOptionNumber("%PagePerSheet", &l) && l > 0 ? static_cast<int>(l) : 1;
        m_bRotateSecond = (m_nPerSheet == 2 || m_nPerSheet == 6) && Portrait();
        m_bNewSheet = true;
    } else {
        const bool bSame = m_dmCurrent.dmPaperSize == m_dmPrevious.dmPaperSize &&
                           m_dmCurrent.dmPaperLength == m_dmPrevious.dmPaperLength &&
                           m_dmCurrent.dmPaperWidth == m_dmPrevious.dmPaperWidth && m_slotCurrent == m_slotPrevious;
        if (bSame && m_nPosition < m_nPerSheet) {
            ++m_nPosition;
            m_bNewSheet = false;
        } else {
            ++m_nSheet;
            m_nPosition = 1;
            m_bNewSheet = true;
        }
        ++m_nLogical;
    }
    KTPS_LOG(DBG_NOTICE, "PageCount: cLogical(%d), cPhysical(%d), cNup(%d)\n", m_nLogical, m_nSheet, m_nPosition);
}

HRESULT PSProcServer::OnInject(DWORD dwIndex)
{
    m_bBracket = false;
    if (dwIndex == 12 || dwIndex == 101) R().SetDevmode(Dm());
    if (dwIndex == 16) {
        char sz[64] = {};
        if (Text("$JobType", sz, sizeof(sz)) && Is(sz, "DFax") && m_pPublicDM) m_pPublicDM->dmCopies = 1;
    }
    if (dwIndex == 6) {
        for (const std::string& name : m_resources) Write("%%+ procset " + name + "\r\n");
    } else {
        if (dwIndex == 101) {
            AdvancePageCounter();
            if (m_bNewSheet) RunList(INJECT_NEWSHEET_BEGIN);
        }
        if (dwIndex == 102 && m_bNewSheet) RunList(INJECT_NEWSHEET_END);
        RunList(dwIndex);
        if (dwIndex == 15 && !m_resources.empty()) Write("end\r\n");
    }
    if (m_bBracket) {
        static const char kEnd[] = "%-OEMPluginInsertEnd\r\n";
        m_pSystem->WriteSpoolBuf(kEnd, sizeof(kEnd) - 1);
    }
    m_bBracket = false;
    return S_OK;
}

std::string PSProcServer::RotationOrigin()
{
    // The imageable area the host gave through GetPDEVAdjustment, kept in the device block.
    LONG rc[4] = {};
    if (m_pdevobj && m_pdevobj->pdevOEM) std::memcpy(rc, static_cast<const OEMPDEV*>(m_pdevobj->pdevOEM)->rcMargin, sizeof(rc));
    char szMirror[32] = {}, szOrient[32] = {};
    const bool bMirror = Opt("%Mirroring", szMirror, sizeof(szMirror)) && Is(szMirror, "True");
    Opt("%Orientation", szOrient, sizeof(szOrient));
    LONG x = 0, y = 0;
    const LONG L = rc[0], T = rc[1], Rt = rc[2], B = rc[3];
    if (Is(szOrient, "Portrait")) {
        x = bMirror ? L : Rt;
        y = T;
    } else if (Is(szOrient, "Landscape")) {
        x = bMirror ? L : Rt;
        y = B;
    } else {
        x = bMirror ? Rt : L;
        y = T;
    }
    auto conv = [](LONG v) {
        const long long u = static_cast<long long>(v) * 7200000 / 25400;
        char sz[32];
        std::snprintf(sz, sizeof(sz), "%lld.%05lld", u / 100000, (u < 0 ? -u : u) % 100000);
        return std::string(sz);
    };
    return conv(x) + " " + conv(y);
}

std::string PSProcServer::DocPageSize()
{
    if (!m_pPublicDM) return {};
    const DWORD w = static_cast<DWORD>(m_pPublicDM->dmPaperWidth > 0 ? m_pPublicDM->dmPaperWidth : 0) * 100;
    const DWORD l = static_cast<DWORD>(m_pPublicDM->dmPaperLength > 0 ? m_pPublicDM->dmPaperLength : 0) * 100;
    return Points(w) + " " + Points(l) + " ";
}

bool PSProcServer::SignatureTarget(char* out, DWORD cb)
{
    char szSig[64] = {}, szPage[64] = {};
    if (!Opt("KTSigSize", szSig, sizeof(szSig)) || !PageSize(szPage, sizeof(szPage))) return false;
    const char* t = nullptr;
    if (Is(szSig, "None") || std::strstr(szSig, "Tray")) {
        if (OneOf(szPage, {"A3", "A4", "A5", "B4", "B5", "Letter", "Tabloid", "Statement"})) {
            t = szPage;
        } else {
            const int n = GetLocalePaperSize();
            t = n == 1 ? "Letter" : n == 5 ? "Legal" : "A4";
        }
    } else if (Is(szSig, "A3")) t = "A3";
    else if (Is(szSig, "A4")) t = "A4";
    else if (Is(szSig, "B4")) t = "B4";
    else if (Is(szSig, "LT")) t = "Letter";
    else if (Is(szSig, "DL")) t = "Tabloid";
    if (!t) return false;
    std::snprintf(out, cb, "%s", t);
    return true;
}

bool PSProcServer::SignatureSizeCheck()
{
    char szSig[64] = {}, szPage[64] = {};
    bool bNoFtp = false;
    if (!m_bSigCheck || !Opt("KTSigSize", szSig, sizeof(szSig)) || !PageSize(szPage, sizeof(szPage)) ||
        !R().Bool("$NoSignatureFTP", &bNoFtp))
        return false;
    auto pageFamily = [](const char* p) -> char {
        if (OneOf(p, {"A3", "A4", "A5"})) return 'A';
        if (OneOf(p, {"B4", "B5"})) return 'B';
        if (OneOf(p, {"Letter", "Tabloid", "Statement"})) return 'L';
        return 0;
    };
    const char page = pageFamily(szPage);
    bool bFuncChange = false;
    R().settings().ReadOptionBool("KTSigFuncChange", &bFuncChange);
    if ((!page && std::strstr(szSig, "Tray")) || (bFuncChange && Is(szSig, "LT"))) {
        m_bSigCheck = false;
        return false;
    }
    if (!bNoFtp) return true;
    char sig = 0;
    if (OneOf(szSig, {"A3", "A4"})) sig = 'A';
    else if (Is(szSig, "B4")) sig = 'B';
    else if (OneOf(szSig, {"LT", "DL"})) sig = 'L';
    if (!page || !sig) return true;
    return page != sig;
}

void PSProcServer::FitToPage(DWORD dwIndex)
{
    if (!m_bFitActive) return;
    if (dwIndex == 15) {
        bool bOn = false;
        if (SignatureSet()) {
            bOn = SignatureSizeCheck();
        } else {
            LONG l = 0;
            bOn = R().Long("$FitToPage", &l) && l != 0;
        }
        if (!bOn) {
            m_bFitActive = false;
            return;
        }
        Resource("OEMFitToPage 2.0 0", kFitToPage);
    } else if (dwIndex == 16) {
        char szTarget[64] = {};
        if (SignatureSet()) {
            if (!SignatureTarget(szTarget, sizeof(szTarget))) return;
        } else {
            LONG nPos = 0;
            if (!R().Long("$FitToPage", &nPos) || !m_pCore) return;
            char list[3072] = {};
            DWORD cbNeeded = 0;
            if (FAILED(m_pCore->EnumOptions(m_pdevobj, 0, "PageSize", list, sizeof(list), &cbNeeded)) || !list[0]) {
                KTPS_LOG(DBG_ERROR, "EnumOptions Failed.");
                return;
            }
            const char* p = list;
            for (LONG i = 1; *p && i < nPos; ++i) p += std::strlen(p) + 1;
            if (nPos < 1 || !*p) {
                m_bFitActive = false;
                return;
            }
            std::snprintf(szTarget, sizeof(szTarget), "%.63s", p);
        }
        if (Is(szTarget, "CustomPageSize") || !m_pCore) return;  // no dimensions to scale to
        LONG size[2] = {}, area[4] = {};
        DWORD dwType = 0, cbNeeded = 0;
        if (FAILED(m_pCore->GetOptionAttribute(m_pdevobj, 0, "PageSize", szTarget, "PaperDimension", &dwType,
                                               reinterpret_cast<BYTE*>(size), sizeof(size), &cbNeeded)) ||
            dwType != kADT_SIZE)
            return;
        if (FAILED(m_pCore->GetOptionAttribute(m_pdevobj, 0, "PageSize", szTarget, "ImageableArea", &dwType,
                                               reinterpret_cast<BYTE*>(area), sizeof(area), &cbNeeded)) ||
            dwType != kADT_RECT)
            return;
        auto pt = [](LONG v) { return Points(static_cast<DWORD>(v > 0 ? v : 0)); };
        Write(DocPageSize() + pt(size[0]) + " " + pt(size[1]) + " " + pt(size[1] - area[1]) + " " + pt(area[3]) + " " +
              pt(area[0]) + " " + pt(size[0] - area[2]) + " OEMPluginDict /FitToPageInit get exec\r\n");
    } else if (dwIndex == 101) {
        Write(DocPageSize() + "OEMPluginDict /FitToPageSet get exec\r\n");
    } else if (dwIndex == 102) {
        Write("OEMPluginDict /FitToPage get exec\r\n");
    }
}

void PSProcServer::PreConfigColorDuplex()
{
    const PreConfigList* pList = R().preconfig();
    if (!pList) return;
    bool bInit = false;
    R().Bool("$InitSetting", &bInit);
    bool bDict = false;
    auto dict = [&] {
        if (!bDict) Write("userdict/$$OEMPreConfigDict 2 dict put\r\n");
        bDict = true;
    };
    if (const PreConfigEntry* c = pList->Find("KTColorMode"); c && !bInit) {
        dict();
        const char* model = Is(c->szOption, "Black") ? "/DeviceGray" : Is(c->szOption, "Color") ? "/DeviceCMYK" : nullptr;
        if (model)
            Write(std::string("userdict/$$OEMPreConfigDict get/ColorMode{1 dict dup/ProcessColorModel") + model +
                  " put setpagedevice}put\r\n");
    }
    if (const PreConfigEntry* d = pList->Find("Duplex")) {
        char szJob[64] = {};
        Text("$JobType", szJob, sizeof(szJob));
        std::string value;
        if (OneOf(szJob, {"DFax", "Box"})) value = "None";
        else if (!bInit) value = d->szOption;
        else return;
        const char* fill = nullptr;
        if (value == "None") fill = "1 dict dup/Duplex false put dup setpagedevice";
        else if (value == "DuplexNoTumble") fill = "2 dict dup/Duplex true put dup/Tumble false put setpagedevice";
        else if (value == "DuplexTumble") fill = "2 dict dup/Duplex true put dup/Tumble true put setpagedevice";
        dict();
        if (fill) Write(std::string("userdict/$$OEMPreConfigDict get/Duplex{") + fill + "}put\r\n");
    }
}

void PSProcServer::RunList(DWORD I)
{
    char sz[256] = {}, sz2[256] = {};
    // 1: the second page of a rotated 2-up / 6-up sheet.
    if (I == INJECT_NEWSHEET_END && m_bRotateSecond && R().data().TestCapability(PDCAP_ROTATE_SECOND) &&
        Opt("%OutputFormat", sz)) {
        if (Is(sz, "Portability"))
            Write("userdict pagesave restore\r\ngrestore\r\ngrestore\r\n180 rotate\r\nclippath pathbbox exch 4 -1 roll add 3 1 "
                  "roll add translate\r\nstartpage\r\ngsave userdict begin /pagesave save def end mysetup concat colspRefresh\r\n");
        else
            Write("grestore\r\ngrestore\r\n180 rotate\r\nclippath pathbbox exch 4 -1 roll add 3 1 roll add translate\r\n"
                  "startpage\r\ngsave mysetup concat colspRefresh\r\n");
    }
    // 2: insert sheet of a manual size.
    if (I == 17 && On("$IntUserSize")) {
        LONG w = 0, h = 0;
        if (R().Long("$IntUserPtWidth", &w) && R().Long("$IntUserPtHeight", &h)) {
            char body[512];
            std::snprintf(body, sizeof(body),
                          "/Custom /ProcSet findresource dup /setinsertsheet known {\r\n    /setinsertsheet get 2 dict dup\r\n"
                          "    /ManualPageSize [%ld %ld] put\r\n    dup /ManualDirection %d put\r\n    exch exec pop\r\n}{pop} ifelse",
                          static_cast<long>(w), static_cast<long>(h), w >= h ? 1 : 0);
            NonPpdFeature("IntManualSize", "Custom", body);
        }
    }
    // 3: image rotation.
    if ((I == 15 || I == 102) && Text("$ImageRotation", sz) && !Is(sz, "None")) {
        if (I == 15) {
            Resource("OEMVerticalRotation 1.0 0", kVerticalRotation);
        } else if (Is(sz, "All") || (Is(sz, "PortOnly") && Portrait()) || (Is(sz, "LandOnly") && !Portrait())) {
            Write(RotationOrigin() + " OEMPluginDict /VerticalRotation get exec\r\n");
        }
    }
    // 4: fit to page.
    if (I == 15 || I == 16 || I == 101 || I == 102) FitToPage(I);
    // 5: frame N-up off.
    if (I == 17 && On("$DisableFrameNup") && Opt("%PagePerSheet", sz) && !Is(sz, "1"))
        NonPpdFeature("FrameNup", "False", "/framenup where {pop /framenup false store} if");
    // 6: image shift for binding margins.
    if (I == 17 && Text("$BindMarginLocation", sz) && !Is(sz, "None")) {
        LONG front = 0, back = 0;
        if (R().Long("$BindMarginFrontWidth", &front) && R().Long("$BindMarginBackWidth", &back)) {
            int f = 0, b = 0;
            if (OneOf(sz, {"TopSef", "TopLef"})) f = 1, b = 2;
            else if (OneOf(sz, {"BottomSef", "BottomLef"})) f = 2, b = 1;
            else if (OneOf(sz, {"LeftSef", "LeftLef"})) f = 3, b = 4;
            else if (OneOf(sz, {"RightSef", "RightLef"})) f = 4, b = 3;
            std::snprintf(sz2, sizeof(sz2), "%d %s %d %s", f, Millimetres3(static_cast<DWORD>(front)).c_str(), b,
                          Millimetres3(static_cast<DWORD>(back)).c_str());
            CustomCall("ImageShift", "setimageshift", sz2);
        }
    }
    // 7: signature image shift.
    if (I == 17 && SignatureSet() && On("$SaddleMargin")) {
        LONG w = 0;
        if (R().Long("$SaddleMarginWidth", &w))
            CustomCall("SignatureImageShift", "setsignatureimageshift", Millimetres3(static_cast<DWORD>(w)));
    }
    // 8: paper orientation of the sheet.
    if (I == INJECT_NEWSHEET_BEGIN) {
        int n = 0;
        if (m_nPerSheet == 2 || m_nPerSheet == 6) n = Portrait() ? 1 : 0;
        else n = Portrait() ? 0 : 1;
        CustomCall("PaperOrientation", "setpaperorientation", std::to_string(n));
    }
    // 9: colour balance.
    if (I == 16 && On("$ColorBalanceAdjustment")) {
        for (const char* colour : {"Cyan", "Magenta", "Yellow", "Black"}) {
            for (const char* level : {"High", "Middle", "Low"}) {
                char kw[64];
                std::snprintf(kw, sizeof(kw), "$ColorDensity_%s%s", colour, level);
                LONG v = 0;
                if (!R().Long(kw, &v)) continue;
                std::snprintf(sz2, sizeof(sz2), "/%s/%s %d", colour, level, static_cast<int>(v));
                CustomCall("ColorDensity", "setcolorbalance", sz2);
            }
        }
    }
    // 10: mixed-size stapling.
    if (I == 17 && On("$MixSizedStapleDocument") && R().OptionIs("KTOutputOptions", "FinisherTypeA") &&
        PageSize(sz, sizeof(sz)) && Opt("%Orientation", sz2)) {
        const bool bLarge = OneOf(sz, {"A3", "B4", "Tabloid", "KT8-KAI", "KT8-KAI-GCO"});
        if ((bLarge && Is(sz2, "Portrait")) || (!bLarge && Is(sz2, "Landscape"))) PpdFeature("KTStaple", "None");
    }
    // 11: line correction.
    if (I == 17 && Text("$LineCorrection", sz) && Is(sz, "True")) Write(kLineCorrection);
    // 12: signature outline.
    if (I == 102 && SignatureSet()) {
        bool b = true;
        if (R().Bool("$DisableFrameNup", &b) && !b) PpdFeature("KTSigDrawOutline", "True");
    }
    // 13: insert sheets.
    if (I == 17 && Opt("KTIntSheet", sz) && !Is(sz, "None")) {
        char list[100] = {};
        size_t n = 0;
        for (int i = 1; i <= 20; ++i) {
            char kw[32];
            std::snprintf(kw, sizeof(kw), "$SeparatorLocation%d", i);
            LONG v = 0;
            if (!R().Long(kw, &v) || v == 0) continue;
            char item[16];
            const int cch = std::snprintf(item, sizeof(item), i == 1 ? "%ld" : " %ld", static_cast<long>(v));
            if (cch < 0 || n + static_cast<size_t>(cch) > 99) break;
            std::memcpy(list + n, item, static_cast<size_t>(cch));
            n += static_cast<size_t>(cch);
        }
        NonPpdFeature("IntSheet", sz,
                      std::string("1 dict dup/SeparatorPages[") + list +
                          "]put\r\n/Custom/ProcSet findresource/setcoverseparator get exec");
    }
    // 14: pre-configured colour mode and duplex.
    if (I == 16) {
        DWORD dw = 0;
        if (R().settings().GetBool("$InitSetting", &dw)) PreConfigColorDuplex();
    }
    // 15: signature auto-fit.
    if (I == 17 && SignatureSet() && On("$SaddleMargin")) {
        bool bAuto = false;
        if (R().Bool("$AutoFit", &bAuto)) {
            const char* v = bAuto ? "true" : "false";
            NonPpdFeature("SignatureAutoFit", v,
                          std::string("/Custom/ProcSet findresource/setsignatureautoscale 2 copy known\r\n{get ") + v +
                              " exch exec}{pop pop} ifelse");
            if (bAuto && m_bFitActive) Write("OEMPluginDict/PrimaryMatrix matrix currentmatrix put\r\n");
        }
    }
}

}  // namespace

RenderingFunction* CreatePSProcServerFunction() { return new PSProcServer; }
