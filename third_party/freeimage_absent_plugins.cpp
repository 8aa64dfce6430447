// Plugin initialisers for the FreeImage formats whose codec libraries are not
// built into Tapestrix (PNG, TIFF, G3 fax, OpenEXR, JPEG-2000, camera RAW,
// WebP, JPEG XR).
//
// FreeImage numbers its formats by the order in which FreeImage_Initialise
// registers its plugins, and it drops a plugin that reports no format name.
// Each stand-in therefore names its format exactly as the real plugin does,
// so every FREE_IMAGE_FORMAT keeps its usual value and the name, extension
// and MIME queries answer as usual.  A stand-in has no load, save or validate
// procedure: FreeImage_Load returns null for it, FreeImage_FIFSupportsReading
// says FALSE, and FreeImage_GetFileType never detects it.

#include "Plugin.h"

namespace {

struct AbsentFormat {
  const char *format;
  const char *description;
  const char *extensions;
  const char *mime;
};

// The plugin procedures take no arguments, so each format needs procedures of
// its own: one template instance per entry below.
template <const AbsentFormat &F>
struct AbsentPlugin {
  static const char *DLL_CALLCONV Format() { return F.format; }
  static const char *DLL_CALLCONV Description() { return F.description; }
  static const char *DLL_CALLCONV Extension() { return F.extensions; }
  static const char *DLL_CALLCONV MimeType() { return F.mime; }

  static void Init(Plugin *plugin) {
    plugin->format_proc = Format;
    plugin->description_proc = Description;
    plugin->extension_proc = Extension;
    plugin->mime_proc = MimeType;
  }
};

constexpr AbsentFormat kPng = {"PNG", "Portable Network Graphics", "png", "image/png"};
constexpr AbsentFormat kTiff = {"TIFF", "Tagged Image File Format", "tif,tiff", "image/tiff"};
constexpr AbsentFormat kG3 = {"G3", "Raw fax format CCITT G.3", "g3", "image/fax-g3"};
constexpr AbsentFormat kExr = {"EXR", "ILM OpenEXR", "exr", "image/x-exr"};
constexpr AbsentFormat kJ2k = {"J2K", "JPEG-2000 codestream", "j2k,j2c", "image/j2k"};
constexpr AbsentFormat kJp2 = {"JP2", "JPEG-2000 File Format", "jp2", "image/jp2"};
constexpr AbsentFormat kRaw = {
    "RAW", "RAW camera image",
    "3fr,arw,bay,bmq,cap,cine,cr2,crw,cs1,dc2,dcr,drf,dsc,dng,erf,fff,ia,iiq,k25,kc2,kdc,mdc,"
    "mef,mos,mrw,nef,nrw,orf,pef,ptx,pxn,qtk,raf,raw,rdc,rw2,rwl,rwz,sr2,srf,srw,sti,x3f",
    "image/x-dcraw"};
constexpr AbsentFormat kWebp = {"WebP", "Google WebP image format", "webp", "image/webp"};
constexpr AbsentFormat kJxr = {"JPEG-XR", "JPEG XR image format", "jxr,wdp,hdp",
                                  "image/vnd.ms-photo"};

}  // namespace

void DLL_CALLCONV InitPNG(Plugin *plugin, int) { AbsentPlugin<kPng>::Init(plugin); }
void DLL_CALLCONV InitTIFF(Plugin *plugin, int) { AbsentPlugin<kTiff>::Init(plugin); }
void DLL_CALLCONV InitG3(Plugin *plugin, int) { AbsentPlugin<kG3>::Init(plugin); }
void DLL_CALLCONV InitEXR(Plugin *plugin, int) { AbsentPlugin<kExr>::Init(plugin); }
void DLL_CALLCONV InitJ2K(Plugin *plugin, int) { AbsentPlugin<kJ2k>::Init(plugin); }
void DLL_CALLCONV InitJP2(Plugin *plugin, int) { AbsentPlugin<kJp2>::Init(plugin); }
void DLL_CALLCONV InitRAW(Plugin *plugin, int) { AbsentPlugin<kRaw>::Init(plugin); }
void DLL_CALLCONV InitWEBP(Plugin *plugin, int) { AbsentPlugin<kWebp>::Init(plugin); }
void DLL_CALLCONV InitJXR(Plugin *plugin, int) { AbsentPlugin<kJxr>::Init(plugin); }
