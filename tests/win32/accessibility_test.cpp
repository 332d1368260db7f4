// The names a screen reader says for the unknown-block dialog's fields and
// the Sound window's. Wine's annotation service keeps no names, so they are
// seen as a recording service registered in this process receives them, as
// Windows' would.

#include "app/soundeditor.h"
#include "bank/soundbank.h"
#include "win32/controls.h"
#include "win32/resource.h"
#include "win32/sounddialog.h"
#include "win32/win32desktop.h"
#include "win32/widetext.h"

#include "tests/support/testfiles.h"

#include "tests/win32/dialogdriver.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

using namespace jbx;
using namespace jbx::testing;

namespace {

struct GivenName {
    HWND window;
    DWORD object, child;
    MSAAPROPID property;
    std::wstring name;
    bool operator==(const GivenName&) const = default;
};

void PrintTo(const GivenName& given, std::ostream* os)
{
    const char* property = given.property == PROPID_ACC_NAME ? "name"
        : given.property == PROPID_ACC_DESCRIPTION        ? "description"
                                                          : "another property";
    *os << given.window << ' ' << property << " \"" << Utf8FromWide(given.name) << '"';
}

// The annotation service in place of the system's, as its own class object.
class RecordingService final : public IAccPropServices, public IClassFactory {
public:
    std::vector<GivenName> given;
    std::vector<HWND> cleared;

    HRESULT WINAPI QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IAccPropServices)
            *out = static_cast<IAccPropServices*>(this);
        else if (iid == IID_IClassFactory)
            *out = static_cast<IClassFactory*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    ULONG WINAPI AddRef() override { return 2; }   // lives on the test's stack
    ULONG WINAPI Release() override { return 1; }

    HRESULT WINAPI CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        return outer ? CLASS_E_NOAGGREGATION : QueryInterface(iid, out);
    }
    HRESULT WINAPI LockServer(BOOL) override { return S_OK; }

    HRESULT WINAPI SetHwndPropStr(HWND window, DWORD object, DWORD child, MSAAPROPID property, LPCWSTR text) override
    {
        given.push_back({window, object, child, property, text});
        return S_OK;
    }
    HRESULT WINAPI ClearHwndProps(HWND window, DWORD, DWORD, const MSAAPROPID*, int) override
    {
        cleared.push_back(window);
        return S_OK;
    }

    HRESULT WINAPI SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override { return E_NOTIMPL; }
    HRESULT WINAPI ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHwndProp(HWND, DWORD, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override { return E_NOTIMPL; }
    HRESULT WINAPI ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override { return E_NOTIMPL; }
    HRESULT WINAPI ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
    HRESULT WINAPI ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override { return E_NOTIMPL; }
};

// Records, in place of the system's service, what the windows give.
class Accessibility : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_EQ(CoRegisterClassObject(CLSID_AccPropServices, static_cast<IClassFactory*>(&service),
                      CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
    }
    void TearDown() override
    {
        CoRevokeClassObject(cookie);
        EXPECT_EQ(driver.unexpectedCaptions(), L"");
        CoUninitialize();
    }

    Win32Desktop desktop{GetModuleHandleW(nullptr)};
    DialogDriver driver;
    RecordingService service;
    DWORD cookie = 0;
};

} // namespace

TEST_F(Accessibility, EachUnknownBlockFieldIsNamedAfterItsOwnHeading)
{
    const int fields[] = {IDC_SOUND_NUMBER, IDC_BLOCK_ID, IDC_BLOCK_LENGTH};
    const std::wstring headings[] = {L"Sound Number", L"Block ID", L"Block Length"};
    std::vector<GivenName> expected;
    driver.then([&](HWND dialog) {
        for (int i = 0; i < 3; ++i)
            expected.push_back({GetDlgItem(dialog, fields[i]), DWORD(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, headings[i]});
        Press(dialog, IDC_SKIP_BLOCK);
    });
    desktop.askUnknownBlock({3, 12, 345}, Owner::None);

    // Given in the fields' order; taken back when the dialog goes.
    std::vector<GivenName> given = service.given;
    std::sort(given.begin(), given.end(), [](const GivenName& a, const GivenName& b) { return a.name < b.name; });
    std::sort(expected.begin(), expected.end(), [](const GivenName& a, const GivenName& b) { return a.name < b.name; });
    EXPECT_EQ(given, expected);
    EXPECT_EQ(service.cleared.size(), 3u);
}

// The waveform is named, and described anew after each command; each field
// is named by the label just before it, by Windows' own rule.
TEST_F(Accessibility, TheWaveformIsNamedAndDescribedAndEachFieldNamedByItsLabel)
{
    Session session(desktop);
    Bytes samples;
    for (int i = 0; i < 300; ++i)
        PutLE16(samples, std::uint16_t(i % 2 ? 3000 : -3000));
    const Bytes image = WaveImage(1, 1, 11025, 16, samples);
    session.bank.slot(1) = {"", 0, std::int32_t(image.size()), MakeSoundData(image.size() + 1)};
    std::copy(image.begin(), image.end(), session.bank.slot(1).data->begin());
    SoundEditor editor(session, 1);
    const std::wstring opening = WideFromUtf8(editor.waveformDescription());

    HWND waveform = nullptr;
    std::vector<std::wstring> labels;
    driver.then([&](HWND dialog) {
        waveform = GetDlgItem(dialog, IDC_WAVEFORM);
        for (const int field : {IDC_SILENCE_FIELD, IDC_LEVEL_FIELD})
            labels.push_back(WindowText(GetWindow(GetDlgItem(dialog, field), GW_HWNDPREV)));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_NORMALIZE, BN_CLICKED), 0);
        Press(dialog, IDCANCEL);
    });
    ShowSoundDialog(GetModuleHandleW(nullptr), nullptr, editor, desktop);

    const auto given = [&](const MSAAPROPID& property, const std::wstring& text) {
        return GivenName{waveform, DWORD(OBJID_CLIENT), CHILDID_SELF, property, text};
    };
    EXPECT_EQ(service.given,
        (std::vector<GivenName>{given(PROPID_ACC_NAME, L"Waveform"), given(PROPID_ACC_DESCRIPTION, opening),
            given(PROPID_ACC_DESCRIPTION, WideFromUtf8(editor.waveformDescription()))}));
    EXPECT_EQ(service.cleared, std::vector<HWND>{waveform});
    EXPECT_EQ(labels, (std::vector<std::wstring>{L"Silence &below (dBFS):", L"Pea&k level (dBFS):"}));
}
