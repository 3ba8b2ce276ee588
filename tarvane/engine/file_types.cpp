#include "tarvane/engine/file_types.h"

#include <array>
#include <optional>

#include "platform/ansi_text.h"
#include "platform/url_parse.h"

namespace tarvane {
namespace {

constexpr std::array<MimeExtension, 113> kMimeExtensions = {{
    {"application/acad", "dwg"},
    {"application/astound", "asd"},
    {"application/dsptype", "tsp"},
    {"application/dxf", "dxf"},
    {"application/futuresplash", "spl"},
    {"application/gzip", "gz"},
    {"application/listenup", "ptlk"},
    {"application/mac-binhex40", "hqx"},
    {"application/mbedlet", "mbd"},
    {"application/mif", "mif"},
    {"application/msexcel", "xls"},
    {"application/mshelp", "chm"},
    {"application/mspowerpoint", "ppt"},
    {"application/msword", "doc"},
    {"application/octet-stream", "exe"},
    {"application/oda", "oda"},
    {"application/pdf", "pdf"},
    {"application/postscript", "ai"},
    {"application/rtc", "rtc"},
    {"application/rtf", "rtf"},
    {"application/studiom", "smp"},
    {"application/toolbook", "tbk"},
    {"application/vocaltec-media-desc", "vmd"},
    {"application/vocaltec-media-file", "vmf"},
    {"application/x-bcpio", "bcpio"},
    {"application/x-compress", "z"},
    {"application/x-cpio", "cpio"},
    {"application/x-csh", "csh"},
    {"application/x-director", "dcr"},
    {"application/x-dvi", "dvi"},
    {"application/x-envoy", "evy"},
    {"application/x-gtar", "gtar"},
    {"application/x-hdf", "hdf"},
    {"application/x-httpd-php", "php"},
    {"application/x-javascript", "js"},
    {"application/x-latex", "latex"},
    {"application/x-macbinary", "bin"},
    {"application/x-mif", "mif"},
    {"application/x-netcdf", "nc"},
    {"application/x-nschat", "nsc"},
    {"application/x-sh", "sh"},
    {"application/x-shar", "shar"},
    {"application/x-shockwave-flash", "swf"},
    {"application/x-sprite", "spr"},
    {"application/x-stuffit", "sit"},
    {"application/x-supercard", "sca"},
    {"application/x-sv4cpio", "sv4cpio"},
    {"application/x-sv4crc", "sv4crc"},
    {"application/x-tar", "tar"},
    {"application/x-tcl", "tcl"},
    {"application/x-tex", "tex"},
    {"application/x-texinfo", "texinfo"},
    {"application/x-troff", "roff"},
    {"application/x-troff-man", "man"},
    {"application/x-troff-me", "me"},
    {"application/x-troff-ms", "me"},
    {"application/x-ustar", "ustar"},
    {"application/x-wais-source", "src"},
    {"application/zip", "zip"},
    {"application/vnd.wap.wmlc", "wmlc"},
    {"application/vnd.wap.wmlscriptc", "wmlsc"},
    {"audio/basic", "au"},
    {"audio/echospeech", "es"},
    {"audio/tsplayer", "tsi"},
    {"audio/voxware", "vox"},
    {"audio/x-aiff", "aif"},
    {"audio/x-dspeeh", "dus"},
    {"audio/x-midi", "mid"},
    {"audio/x-mpeg", "mp2"},
    {"audio/x-pn-realaudio", "ram"},
    {"audio/x-pn-realaudio-plugin", "rpm"},
    {"audio/x-qt-stream", "stream"},
    {"audio/x-wav", "wav"},
    {"drawing/x-dwf", "dwf"},
    {"image/cis-cod", "cod"},
    {"image/cmu-raster", "ras"},
    {"image/fif", "fif"},
    {"image/gif", "gif"},
    {"image/ief", "ief"},
    {"image/jpeg", "jpg"},
    {"image/tiff", "tif"},
    {"image/vasa", "mcf"},
    {"image/vnd.wap.wbmp", "wbmp"},
    {"image/x-freehand", "fhc"},
    {"image/x-portable-anymap", "pnm"},
    {"image/x-portable-bitmap", "pbm"},
    {"image/x-portable-graymap", "pgm"},
    {"image/x-portable-pixmap", "ppm"},
    {"image/x-rgb", "rgb"},
    {"image/x-windowdump", "xwd"},
    {"image/x-xbitmap", "xbm"},
    {"image/x-xpixmap", "xpm"},
    {"model/vrml", "wrl"},
    {"text/comma-separated-values", "csv"},
    {"text/css", "css"},
    {"text/html", "htm"},
    {"text/javascript", "js"},
    {"text/plain", "txt"},
    {"text/richtext", "rtx"},
    {"text/rtf", "rtf"},
    {"text/tab-separated-values", "tsv"},
    {"text/vnd.wap.wml", "wml"},
    {"text/vnd.wap.wmlscript", "wmls"},
    {"text/x-setext", "etx"},
    {"text/x-sgml", "sgm"},
    {"text/x-speech", "spc"},
    {"video/mpeg", "mpg"},
    {"video/quicktime", "mov"},
    {"video/x-msvideo", "avi"},
    {"video/x-sgi-movie", "movie"},
    {"workbook/formulaone", "vts"},
    {"x-world/x-3dmf", "3dm"},
    {"x-world/x-vrml", "wrl"},
}};

}  // namespace

std::span<const MimeExtension> MimeExtensionTable() {
    return kMimeExtensions;
}

std::string ExtensionFromUrl(std::string_view url) {
    std::optional<platform::ParsedUrl> parsed = platform::ParseUrl(url);
    if (!parsed) {
        return "";
    }
    // The fragment never reaches the server and is no part of the file name either.
    std::string_view path(parsed->object);
    path = path.substr(0, path.find_first_of("?#"));
    std::size_t dot = path.rfind('.');
    std::size_t slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return "";
    }
    return std::string(path.substr(dot + 1));
}

std::string ExtensionForMimeType(std::string_view mimeType) {
    for (const MimeExtension& entry : kMimeExtensions) {
        if (platform::EqualsIgnoreCase936(mimeType, entry.mimeType)) {
            return std::string(entry.extension);
        }
    }
    return "";
}

}  // namespace tarvane
