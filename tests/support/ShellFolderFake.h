#pragma once
// A folder object that answers names, attributes and column headings from
// fields and counts what it was asked; every other call fails.

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kalvera::test {

class ShellFolderFake : public IShellFolder2 {
public:
    // Headings and default states; with none, the fake has no IShellFolder2.
    std::vector<std::pair<std::wstring, SHCOLSTATEF>> columns;
    std::vector<std::wstring> names; // answer of the n-th GetDisplayNameOf (last repeats)
    std::vector<SHGDNF> nameFlags;   // flags of each GetDisplayNameOf
    SFGAOF attributes = 0;
    int setNameCalls = 0;
    HRESULT setNameResult = E_FAIL; // S_OK: renamed, without a new list
    ITEMIDLIST* parsed = nullptr;   // what ParseDisplayName gives (a copy)
    std::vector<std::wstring> parsedNames;
    HRESULT compareResult = E_NOTIMPL; // every CompareIDs answers this
    // Or this, where set: below 0 for "less", as the shell's comparison says.
    std::function<short(PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE)> order;
    int compareCalls = 0;
    std::function<void(const ITEMIDLIST*, const ITEMIDLIST*)> onCompare;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IShellFolder ||
            (riid == IID_IShellFolder2 && !columns.empty())) {
            *out = static_cast<IShellFolder2*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR name, ULONG*,
                                               PIDLIST_RELATIVE* list, ULONG*) override {
        parsedNames.push_back(name);
        if (!parsed)
            return E_NOTIMPL;
        const size_t size = IdListSizeOf(parsed);
        *list = static_cast<PIDLIST_RELATIVE>(CoTaskMemAlloc(size));
        memcpy(*list, parsed, size);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF, IEnumIDList**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID,
                                            void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE a,
                                         PCUIDLIST_RELATIVE b) override {
        ++compareCalls;
        if (onCompare)
            onCompare(a, b);
        return order ? MAKE_HRESULT(SEVERITY_SUCCESS, 0, USHORT(order(a, b))) : compareResult;
    }
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF* mask) override {
        // As the shell's folders do, a request of nothing answers everything.
        *mask = *mask ? *mask & attributes : attributes;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*,
                                            void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD, SHGDNF flags,
                                               STRRET* name) override {
        const std::wstring& text = names.at(std::min(nameFlags.size(), names.size() - 1));
        nameFlags.push_back(flags);
        name->uType = STRRET_WSTR;
        name->pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
        text.copy(name->pOleStr, text.size());
        name->pOleStr[text.size()] = L'\0';
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                        PITEMID_CHILD* renamed) override {
        ++setNameCalls;
        if (renamed)
            *renamed = nullptr;
        return setNameResult;
    }

    HRESULT STDMETHODCALLTYPE GetDefaultSearchGUID(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumSearches(IEnumExtraSearch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultColumn(DWORD, ULONG*, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultColumnState(UINT column, SHCOLSTATEF* state) override {
        if (column >= columns.size())
            return E_INVALIDARG;
        *state = columns[column].second;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDetailsEx(PCUITEMID_CHILD, const SHCOLUMNID*, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDetailsOf(PCUITEMID_CHILD, UINT column,
                                           SHELLDETAILS* details) override {
        if (column >= columns.size())
            return E_INVALIDARG;
        const std::wstring& text = columns[column].first;
        details->str.uType = STRRET_WSTR;
        details->str.pOleStr =
            static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
        text.copy(details->str.pOleStr, text.size());
        details->str.pOleStr[text.size()] = L'\0';
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MapColumnToSCID(UINT, SHCOLUMNID*) override { return E_NOTIMPL; }

private:
    static size_t IdListSizeOf(const ITEMIDLIST* list) {
        size_t size = 2;
        for (auto* p = reinterpret_cast<const BYTE*>(list); *reinterpret_cast<const USHORT*>(p);
             p += *reinterpret_cast<const USHORT*>(p))
            size += *reinterpret_cast<const USHORT*>(p);
        return size;
    }
    ULONG refs = 1; // lives on the test's stack
};

} // namespace kalvera::test
