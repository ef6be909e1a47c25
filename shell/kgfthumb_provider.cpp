// The thumbnail handler: Explorer hands it a stream on a KGF or KAF file,
// then asks for a bitmap of at most cx pixels a side.
#include "shell/kgfthumb.h"

#include "convert/thumbnail.h"
#include "formats/byte_reader.h"
#include "formats/image_buffer.h"
#include "formats/limits.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>
#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>

HMODULE kgfthumb_module = nullptr;
LONG kgfthumb_objects = 0;

namespace {

// Bytes taken from a stream at most: an animation's frame data is read no
// further by the reader, and a texture's first level lies before it.
constexpr int64_t largest_stream_bytes = largest_frame_data + 64 * 1024;

// The stream's name tells the type when it has one; else its first bytes.
file_type stream_type(IStream* stream, const std::vector<uint8_t>& bytes) {
    STATSTG about = {};
    file_type type = file_type::none;
    if (SUCCEEDED(stream->Stat(&about, STATFLAG_DEFAULT)) && about.pwcsName != nullptr) {
        const size_t length = std::wcslen(about.pwcsName);
        if (length >= 4) {
            const wchar_t* ending = about.pwcsName + length - 4;
            if (_wcsicmp(ending, L".kgf") == 0)
                type = file_type::kgf;
            else if (_wcsicmp(ending, L".kaf") == 0)
                type = file_type::kaf;
        }
        CoTaskMemFree(about.pwcsName);
    }
    return type != file_type::none ? type : thumbnail_type_from_content(bytes.data(), bytes.size());
}

// Reads the stream from its start, up to the limit; grows the block as the
// bytes come, so a stream that claims much and holds little costs little.
HRESULT read_stream(IStream* stream, std::vector<uint8_t>& bytes) {
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    constexpr ULONG step = 1 << 20;
    for (;;) {
        const int64_t held = static_cast<int64_t>(bytes.size());
        const int64_t room = std::min<int64_t>(step, largest_stream_bytes - held);
        if (room <= 0)
            return S_OK;
        if (grow_block(bytes, held + room) != kgf_status::ok)
            return E_OUTOFMEMORY;
        ULONG got = 0;
        const HRESULT read = stream->Read(bytes.data() + held, static_cast<ULONG>(room), &got);
        bytes.resize(static_cast<size_t>(held + got));
        if (FAILED(read))
            return read;
        if (got == 0 || read == S_FALSE)
            return S_OK;
    }
}

class thumbnail_provider final : public IThumbnailProvider, public IInitializeWithStream {
  public:
    thumbnail_provider() { InterlockedIncrement(&kgfthumb_objects); }
    ~thumbnail_provider() { InterlockedDecrement(&kgfthumb_objects); }

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IThumbnailProvider)))
            *out = static_cast<IThumbnailProvider*>(this);
        else if (IsEqualIID(iid, __uuidof(IInitializeWithStream)))
            *out = static_cast<IInitializeWithStream*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references); }
    IFACEMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&references);
        if (left == 0)
            delete this;
        return left;
    }

    // The stream is read whole (up to the limit) and let go at once.
    IFACEMETHODIMP Initialize(IStream* stream, DWORD) override {
        if (stream == nullptr)
            return E_INVALIDARG;
        if (initialised)
            return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
        const HRESULT read = read_stream(stream, bytes);
        if (FAILED(read))
            return read;
        type = stream_type(stream, bytes);
        initialised = true;
        return S_OK;
    }

    IFACEMETHODIMP GetThumbnail(UINT cx, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) override {
        if (bitmap == nullptr || alpha == nullptr)
            return E_POINTER;
        *bitmap = nullptr;
        *alpha = WTSAT_UNKNOWN;
        if (!initialised)
            return E_UNEXPECTED;
        if (cx < 1)
            return E_INVALIDARG;
        byte_reader reader = memory_reader(bytes.data(), bytes.size());
        image_buffer thumbnail;
        const int size = static_cast<int>(std::min<UINT>(cx, largest_thumbnail));
        const kgf_status status = make_thumbnail(reader, type, size, thumbnail);
        if (status == kgf_status::no_memory)
            return E_OUTOFMEMORY;
        if (status != kgf_status::ok)
            return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
        // A top-down 32-bit section: the thumbnail's rows as they are.
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = thumbnail.width;
        info.bmiHeader.biHeight = -thumbnail.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP made = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (made == nullptr || bits == nullptr)
            return E_OUTOFMEMORY;
        std::memcpy(bits, thumbnail.data.data(), thumbnail.data.size());
        *bitmap = made;
        *alpha = WTSAT_ARGB;
        return S_OK;
    }

  private:
    LONG references = 1;
    bool initialised = false;
    file_type type = file_type::none;
    std::vector<uint8_t> bytes;
};

class class_factory final : public IClassFactory {
  public:
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static: its count only keeps the module loaded.
    IFACEMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&kgfthumb_objects); }
    IFACEMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&kgfthumb_objects); }
    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        thumbnail_provider* provider = new (std::nothrow) thumbnail_provider;
        if (provider == nullptr)
            return E_OUTOFMEMORY;
        const HRESULT result = provider->QueryInterface(iid, out);
        provider->Release();
        return result;
    }
    IFACEMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&kgfthumb_objects);
        else
            InterlockedDecrement(&kgfthumb_objects);
        return S_OK;
    }
};

class_factory factory;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        kgfthumb_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, kgfthumb_clsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, out);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() {
    return kgfthumb_objects == 0 ? S_OK : S_FALSE;
}
