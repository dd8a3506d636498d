// The function container: dispatch order by priority and handler part, a function that fails
// once stays silent, and the bound on the number of functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "renderer/renderingfunction.h"

namespace {

// The smallest rendering system a container runs against: a device object, the DEVMODEs and
// the kind; property writes are kept.
class RecordingSystem final : public IRenderingSystem {
public:
    explicit RecordingSystem(DWORD kind) : m_kind(kind) { m_dm.dmSize = sizeof(m_dm); }
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++m_cRef; }
    ULONG Release() override { return --m_cRef; }  // lives on the test's stack
    HRESULT GetKind(DWORD* p) override { return *p = m_kind, S_OK; }
    HRESULT GetDevObj(PDEVOBJ* p) override { return *p = &m_devobj, S_OK; }
    HRESULT GetDriverInterface(IUnknown** p) override { return *p = nullptr, E_FAIL; }
    HRESULT GetPrinterHandle(HANDLE* p) override { return *p = nullptr, S_OK; }
    HRESULT GetDevmodes(PDEVMODEW* pub, void** priv) override { return *pub = &m_dm, *priv = nullptr, S_OK; }
    HRESULT GetDocumentInfo(DocumentInfo** p) override { return *p = nullptr, E_FAIL; }
    HRESULT WriteProperty(LPCSTR, LPCSTR name, DWORD, DWORD, const void*) override
    {
        properties.push_back(name);
        return S_OK;
    }
    HRESULT WriteOutput(const void*, DWORD) override { return S_OK; }
    HRESULT Reserved() override { return E_NOTIMPL; }
    HRESULT WriteSpooler(const void*, DWORD) override { return S_OK; }
    HRESULT WriteSpoolBuf(const void*, DWORD) override { return S_OK; }

    std::vector<std::string> properties;

private:
    DWORD m_kind;
    ULONG m_cRef = 1;
    DEVOBJ m_devobj{};
    DEVMODEW m_dm{};
};

// Writes "name.part" into a shared trace for every handler call; fails on a chosen event.
class TracingFunction final : public RenderingFunction {
public:
    TracingFunction(const char* name, std::vector<std::string>* trace, DWORD failOn = 0)
        : m_name(name), m_trace(trace), m_failOn(failOn) {}
    LPCSTR Name() const override { return m_name; }
    HRESULT OnStartDoc(const RfStartDocData*) override { return Note(RF_STARTDOC, ""); }
    HRESULT OnBeginStream1() override { return Note(RF_BEGINSTREAM, ".1"); }
    HRESULT OnBeginStream2() override { return Note(RF_BEGINSTREAM, ".2"); }
    HRESULT OnEndStream1() override { return Note(RF_ENDSTREAM, ".1"); }
    HRESULT OnEndStream2() override { return Note(RF_ENDSTREAM, ".2"); }
    HRESULT OnInject(DWORD) override { return Note(RF_INJECT, ""); }

private:
    HRESULT Note(DWORD event, const char* part)
    {
        m_trace->push_back(std::string(m_name) + part);
        return event == m_failOn ? E_FAIL : S_OK;
    }
    const char* m_name;
    std::vector<std::string>* m_trace;
    DWORD m_failOn;
};

using Trace = std::vector<std::string>;

// p1a and p1b at priority 1, p0a and p0b at priority 0, added interleaved.
struct Fixture {
    explicit Fixture(DWORD kind = RS_KIND_DIRECT, DWORD p0aFailsOn = 0) : system(kind)
    {
        container = new FunctionContainer;
        const std::pair<DWORD, RenderingFunction*> functions[] = {
            {0, new TracingFunction("p0a", &trace, p0aFailsOn)},
            {1, new TracingFunction("p1a", &trace)},
            {0, new TracingFunction("p0b", &trace)},
            {1, new TracingFunction("p1b", &trace)},
        };
        for (const auto& [priority, f] : functions) {
            container->Add(priority, f);
            f->Release();
        }
        EXPECT_EQ(container->Initialize(&system), S_OK);
    }
    ~Fixture() { container->Release(); }
    Trace Fire(DWORD event)
    {
        trace.clear();
        const DWORD index = 1;
        container->Fire(event, &index);
        return trace;
    }
    RecordingSystem system;
    FunctionContainer* container;
    Trace trace;
};

TEST(FunctionContainer, DispatchesByPriorityThenOrder)
{
    struct Case {
        const char* what;
        DWORD event;
        Trace order;
    } cases[] = {
        {"a one-part event", RF_INJECT, {"p1a", "p1b", "p0a", "p0b"}},
        {"begin stream", RF_BEGINSTREAM, {"p1a.1", "p1b.1", "p1a.2", "p1b.2", "p0a.2", "p0b.2"}},
        {"end stream", RF_ENDSTREAM, {"p1a.1", "p1b.1", "p0a.1", "p0b.1", "p1a.2", "p1b.2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        EXPECT_EQ(f.Fire(c.event), c.order);
    }
}

TEST(FunctionContainer, FailedFunctionStaysSilent)
{
    Fixture f(RS_KIND_DIRECT, RF_INJECT);
    DWORD index = 1;
    EXPECT_EQ(f.container->Fire(RF_INJECT, &index), E_FAIL);
    EXPECT_EQ(f.Fire(RF_INJECT), (Trace{"p1a", "p1b", "p0b"}));
    EXPECT_EQ(f.Fire(RF_STARTDOC), (Trace{"p1a", "p1b", "p0b"}));
}

TEST(FunctionContainer, SerialisingKindWritesStateProperties)
{
    Fixture direct;
    direct.Fire(RF_BEGINSTREAM);
    EXPECT_TRUE(direct.system.properties.empty());
    Fixture serialising(RS_KIND_SERIALIZE);
    serialising.Fire(RF_BEGINSTREAM);
    EXPECT_EQ(serialising.system.properties, (std::vector<std::string>{"__BeginStream__"}));
}

TEST(FunctionContainer, RefusesFunctionsPastItsLimit)
{
    Trace trace;
    auto* container = new FunctionContainer;
    for (DWORD i = 0; i <= FC_MAX_FUNCTIONS; ++i) {
        auto* f = new TracingFunction("f", &trace);
        EXPECT_EQ(container->Add(0, f), i < FC_MAX_FUNCTIONS ? S_OK : E_OUTOFMEMORY) << i;
        f->Release();
    }
    EXPECT_EQ(container->Count(), FC_MAX_FUNCTIONS);
    EXPECT_EQ(container->Add(0, nullptr), E_INVALIDARG);
    container->Release();
}

}  // namespace
