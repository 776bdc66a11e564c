// PO files (the format of every translation editor and platform) for language files, read and
// written with gettext's own library. One entry per item: msgctxt its path, msgid the native
// text, msgstr the translation ("" when untranslated), "fuzzy" when not confirmed; string lists
// as one entry with "\n" between the lines; numbers as entries of their own, empty native texts
// and kinds without a stored value as "<empty>" / "<set>" entries where a translation has them.
// An extracted comment carries the native item's kind, string-table id, revision, flags, stamp,
// float bits and where its CR LF stood; a translator's comment the translation's own revision,
// flags, stamp, float bits and line ends, so that an import gives back the same file, also after
// msgmerge with a newer template (which takes the first from the template, the second from the
// translation).
#pragma once

#include <string>
#include <vector>

#include "Exchange.h"

namespace catalog {

// The PO text of a translation (aligned to the native dictionary as UpdateTranslation does), or
// of the native dictionary itself when translation is null (every msgstr empty). The
// application's name goes into Project-Id-Version.
std::vector<uint8_t> ExportPo(const TLangFileImage& native, const TLangFileImage* translation,
                              const std::string& project);

// Reads a PO file against the native dictionary, its texts converted from the header's charset.
// A PO the library finds invalid, a charset that cannot be converted, two entries for one item,
// plural entries, entries of more than one domain and an X-Language-Id that is no locale raise
// ECatalogError "FILE:LINE: message". langId 0: the language from the PO header
// ("X-Language-Id", else "Language"). An obsolete entry (msgmerge's "#~") gives the translation
// of an item the file leaves untranslated.
TImportResult ImportPo(const std::string& poFile, const TLangFileImage& native, uint16_t langId);

}  // namespace catalog
