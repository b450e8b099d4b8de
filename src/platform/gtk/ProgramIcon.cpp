#include "platform/gtk/ProgramIcon.h"

#include <string_view>

namespace poremisu {

namespace {

struct IconImage {
    int size;
    std::string_view png;
};

// The same drawing as the Windows icon, written by the build as PNG images.
constexpr IconImage kImages[] = {
#include "ProgramIconImages.inc"
};

GdkPixbuf* Decode(std::string_view png) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (!loader) return nullptr;
    bool written = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(png.data()), png.size(),
                                           nullptr);
    bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf) g_object_ref(pixbuf);
    g_object_unref(loader);
    return pixbuf;
}

}  // namespace

GdkPixbuf* MakeProgramIcon(int size) {
    const IconImage* chosen = &kImages[0];
    for (const IconImage& image : kImages) {
        if (image.size == size || (chosen->size != size && image.size > chosen->size)) chosen = &image;
    }
    GdkPixbuf* pixbuf = Decode(chosen->png);
    if (pixbuf && chosen->size != size) {
        GdkPixbuf* scaled = gdk_pixbuf_scale_simple(pixbuf, size, size, GDK_INTERP_BILINEAR);
        g_object_unref(pixbuf);
        pixbuf = scaled;
    }
    if (!pixbuf) {
        // A transparent square rather than no icon at all.
        pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, size, size);
        gdk_pixbuf_fill(pixbuf, 0);
    }
    return pixbuf;
}

}  // namespace poremisu
