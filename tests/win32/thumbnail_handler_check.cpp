// Drives kgfthumb.dll as Explorer does: created by its CLSID through COM,
// initialised with a stream, asked for a thumbnail. Usage:
//   thumbnail_handler_check write FOLDER          writes wide.kgf and tall.kaf
//   thumbnail_handler_check same FILE PNG SIZE    the bitmap holds PNG's pixels
//   thumbnail_handler_check refused FILE          an error HRESULT, no bitmap
// A file is handed over once as a stream on the file (named) and once as a
// stream in memory (nameless). Exit 0 when it holds, 1 otherwise.
#include "formats/kgf.h"
#include "formats/png.h"
#include "shell/kgfthumb.h"
#include "support/sample_files.h"

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <shlwapi.h>
#include <string>
#include <thumbcache.h>
#include <vector>

namespace {

std::vector<uint8_t> file_bytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The handler for a file ending, found as the shell finds it: the type's
// thumbnail handler key names the CLSID, COM creates it. Wine does not look
// at the user's classes (HKEY_CURRENT_USER\Software\Classes) in
// CoCreateInstance, so there the CLSID's InprocServer32 is followed by hand:
// the DLL it names, its DllGetClassObject for that CLSID.
HRESULT create_handler(const wchar_t* ending, IInitializeWithStream** out) {
    const std::wstring classes = L"Software\\Classes\\";
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text;
    const std::wstring handler_key =
        classes + ending + L"\\ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}";
    if (RegGetValueW(HKEY_CURRENT_USER, handler_key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                     &size) != ERROR_SUCCESS) {
        std::printf("not registered: no handler for %ls\n", ending);
        return REGDB_E_CLASSNOTREG;
    }
    CLSID clsid = {};
    if (FAILED(CLSIDFromString(text, &clsid)) || !IsEqualCLSID(clsid, kgfthumb_clsid)) {
        std::printf("%ls names another handler: %ls\n", ending, text);
        return REGDB_E_CLASSNOTREG;
    }
    HRESULT result =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IInitializeWithStream),
                         reinterpret_cast<void**>(out));
    if (result != REGDB_E_CLASSNOTREG)
        return result;
    const std::wstring server = classes + L"CLSID\\" + text + L"\\InprocServer32";
    size = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, server.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                     &size) != ERROR_SUCCESS) {
        std::printf("not registered: no InprocServer32\n");
        return REGDB_E_CLASSNOTREG;
    }
    HMODULE module = LoadLibraryW(text); // kept loaded for the process
    auto get_class_object = reinterpret_cast<HRESULT(__stdcall*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(module ? GetProcAddress(module, "DllGetClassObject") : nullptr));
    if (get_class_object == nullptr) {
        std::printf("%ls: no DllGetClassObject\n", text);
        return E_FAIL;
    }
    IClassFactory* factory = nullptr;
    result = get_class_object(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result))
        return result;
    result = factory->CreateInstance(nullptr, __uuidof(IInitializeWithStream),
                                     reinterpret_cast<void**>(out));
    factory->Release();
    return result;
}

// The handler's bitmap for the stream, as 32-bit rows top first; the
// HRESULT of the first step that failed.
HRESULT thumbnail_of(const wchar_t* ending, IStream* stream, UINT size, image_buffer& out) {
    IInitializeWithStream* initialise = nullptr;
    HRESULT result = create_handler(ending, &initialise);
    if (FAILED(result))
        return result;
    result = initialise->Initialize(stream, STGM_READ);
    IThumbnailProvider* provider = nullptr;
    if (SUCCEEDED(result))
        result = initialise->QueryInterface(__uuidof(IThumbnailProvider),
                                            reinterpret_cast<void**>(&provider));
    initialise->Release();
    if (FAILED(result))
        return result;
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    result = provider->GetThumbnail(size, &bitmap, &alpha);
    provider->Release();
    if (FAILED(result)) {
        if (bitmap != nullptr)
            std::printf("a failure that still hands out a bitmap\n");
        return result;
    }
    DIBSECTION section = {};
    if (GetObject(bitmap, sizeof section, &section) != sizeof section || alpha != WTSAT_ARGB ||
        section.dsBm.bmBitsPixel != 32) {
        std::printf("not a 32-bit section with alpha\n");
        DeleteObject(bitmap);
        return E_FAIL;
    }
    out.bpp = 32;
    out.width = static_cast<int16_t>(section.dsBm.bmWidth);
    out.height = static_cast<int16_t>(section.dsBm.bmHeight);
    // The rows asked for top first, whichever way the section holds them.
    out.data.resize(static_cast<size_t>(out.width) * 4 * static_cast<size_t>(out.height));
    BITMAPINFO top_first = {};
    top_first.bmiHeader.biSize = sizeof top_first.bmiHeader;
    top_first.bmiHeader.biWidth = out.width;
    top_first.bmiHeader.biHeight = -out.height;
    top_first.bmiHeader.biPlanes = 1;
    top_first.bmiHeader.biBitCount = 32;
    top_first.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(out.height), out.data.data(),
                               &top_first, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != out.height) {
        std::printf("GetDIBits gave %d rows\n", rows);
        DeleteObject(bitmap);
        return E_FAIL;
    }
    DeleteObject(bitmap);
    return S_OK;
}

const wchar_t* ending_of(const char* file) {
    const size_t length = std::strlen(file);
    return length >= 4 && _stricmp(file + length - 4, ".kaf") == 0 ? L".kaf" : L".kgf";
}

// The two streams a file is handed over in.
std::vector<IStream*> streams_of(const char* path, const std::vector<uint8_t>& bytes) {
    std::vector<IStream*> streams;
    IStream* on_file = nullptr;
    const std::wstring wide(path, path + std::strlen(path));
    if (SUCCEEDED(SHCreateStreamOnFileEx(wide.c_str(), STGM_READ | STGM_SHARE_DENY_NONE, 0, FALSE,
                                         nullptr, &on_file)))
        streams.push_back(on_file);
    streams.push_back(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
    return streams;
}

int same(const char* file, const char* png_path, UINT size) {
    const std::vector<uint8_t> png = file_bytes(png_path);
    byte_reader reader = memory_reader(png.data(), png.size());
    image_buffer expected;
    init_image_buffer(expected, 32);
    if (decode_png(reader, expected, row_order::top_first) != kgf_status::ok) {
        std::printf("%s: not a PNG\n", png_path);
        return 1;
    }
    const std::vector<uint8_t> bytes = file_bytes(file);
    int failures = 0;
    const char* kinds[] = {"file stream", "memory stream"};
    int kind = 0;
    for (IStream* stream : streams_of(file, bytes)) {
        image_buffer got;
        const HRESULT result = thumbnail_of(ending_of(file), stream, size, got);
        stream->Release();
        if (FAILED(result)) {
            std::printf("%s, %s: 0x%08lx\n", file, kinds[kind], static_cast<unsigned long>(result));
            ++failures;
        } else if (got.width != expected.width || got.height != expected.height ||
                   got.data != expected.data) {
            std::printf("%s, %s: %dx%d, not the PNG's %dx%d pixels\n", file, kinds[kind], got.width,
                        got.height, expected.width, expected.height);
            ++failures;
        }
        ++kind;
    }
    return failures == 0 && kind == 2 ? 0 : 1;
}

int refused(const char* file) {
    const std::vector<uint8_t> bytes = file_bytes(file);
    int wrong = 0;
    for (IStream* stream : streams_of(file, bytes)) {
        image_buffer got;
        const HRESULT result = thumbnail_of(ending_of(file), stream, 96, got);
        stream->Release();
        if (SUCCEEDED(result) || result == REGDB_E_CLASSNOTREG) {
            std::printf("%s: 0x%08lx\n", file, static_cast<unsigned long>(result));
            ++wrong;
        }
    }
    return wrong == 0 ? 0 : 1;
}

int write_samples(const std::string& folder) {
    // Wider than high with transparency, and an animation whose first frame
    // differs from the second.
    write_kgf_file(folder + "/wide.kgf", "wide", pattern_image(300, 170, 16, 11), 5);
    const std::vector<uint8_t> kaf = kaf_file({kaf_frame("a", pattern_image(90, 128, 16, 12), 90),
                                               kaf_frame("b", pattern_image(90, 128, 16, 13), 90)});
    std::ofstream(folder + "/tall.kaf", std::ios::binary)
        .write(reinterpret_cast<const char*>(kaf.data()), static_cast<std::streamsize>(kaf.size()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string mode = argc > 1 ? argv[1] : "";
    int status = 2;
    if (mode == "write" && argc == 3)
        status = write_samples(argv[2]);
    else if (mode == "same" && argc == 5)
        status = same(argv[2], argv[3], static_cast<UINT>(std::atoi(argv[4])));
    else if (mode == "refused" && argc == 3)
        status = refused(argv[2]);
    CoUninitialize();
    return status;
}
