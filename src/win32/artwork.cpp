#include "artwork.hpp"

#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <memory>

#include "dpi.hpp"
#include "resources/resource_ids.h"

namespace corvalis::win32 {
namespace {

template <typename Interface>
struct ComRelease {
    void operator()(Interface* object) const { object->Release(); }
};
template <typename Interface>
using ComPointer = std::unique_ptr<Interface, ComRelease<Interface>>;

// The JPEG through OLE's picture loader: part of every Windows, no codec DLL of our own.
UniqueBitmap decodeJpegResource(HINSTANCE instance, int id) {
    const HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
    const HGLOBAL loaded = resource != nullptr ? LoadResource(instance, resource) : nullptr;
    if (loaded == nullptr) {
        return {};
    }
    const DWORD size = SizeofResource(instance, resource);
    const HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (copy == nullptr) {
        return {};
    }
    std::memcpy(GlobalLock(copy), LockResource(loaded), size);
    GlobalUnlock(copy);
    IStream* rawStream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &rawStream))) {
        GlobalFree(copy);
        return {};
    }
    const ComPointer<IStream> stream(rawStream);
    IPicture* rawPicture = nullptr;
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&rawPicture)))) {
        return {};
    }
    const ComPointer<IPicture> picture(rawPicture);
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Handle(&handle))) {
        return {};
    }
    // The picture keeps its own bitmap; this copy is ours.
    return UniqueBitmap(
        static_cast<HBITMAP>(CopyImage(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle)),
                                       IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

UniqueBitmap loadBitmapResource(HINSTANCE instance, int id) {
    return UniqueBitmap(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

}  // namespace

Artwork::Artwork(HINSTANCE instance)
    : logo_(decodeJpegResource(instance, IDR_LOGO)),
      lightRed_(loadBitmapResource(instance, IDB_SINAL_VERMELHO)),
      lightGreen_(loadBitmapResource(instance, IDB_SINAL_VERDE)) {}

HBITMAP Artwork::bitmap(app::Artwork artwork) const {
    switch (artwork) {
        case app::Artwork::Logo:
            return logo_.get();
        case app::Artwork::LightRed:
            return lightRed_.get();
        case app::Artwork::LightGreen:
            return lightGreen_.get();
        case app::Artwork::None:
            break;
    }
    return nullptr;
}

void Artwork::draw(app::Artwork artwork, HDC dc, POINT origin, int dpi) const {
    const HBITMAP source = bitmap(artwork);
    BITMAP info{};
    if (source == nullptr || GetObjectW(source, sizeof(info), &info) == 0) {
        return;
    }
    const UniqueMemoryDc memory(CreateCompatibleDC(dc));
    const SelectedObject selected(memory.get(), source);
    const int width = MulDiv(info.bmWidth, dpi, kDefaultDpi);
    const int height = MulDiv(info.bmHeight, dpi, kDefaultDpi);
    if (width == info.bmWidth && height == info.bmHeight) {
        BitBlt(dc, origin.x, origin.y, width, height, memory.get(), 0, 0, SRCCOPY);
        return;
    }
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, origin.x, origin.y, width, height, memory.get(), 0, 0, info.bmWidth,
               info.bmHeight, SRCCOPY);
}

}  // namespace corvalis::win32
