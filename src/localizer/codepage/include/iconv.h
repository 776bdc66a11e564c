/* Character set conversion for the Windows builds, which have no iconv: the POSIX interface over
   the system's code pages (codepage/Iconv.cpp). gettext's PO library is built against this
   header, and the PO reader of vtploc uses it, so both convert as one. */
#ifndef VTP_CODEPAGE_ICONV_H
#define VTP_CODEPAGE_ICONV_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* iconv_t;

/* (iconv_t)-1 with errno EINVAL when either charset is unknown. */
iconv_t iconv_open(const char* tocode, const char* fromcode);
/* As POSIX: E2BIG (output full), EILSEQ (invalid input, or a character the target lacks),
   EINVAL (an incomplete character at the end of the input). */
size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif

#endif
