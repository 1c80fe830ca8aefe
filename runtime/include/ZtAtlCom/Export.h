/*
 * Export.h - visibility of the component runtime's functions.
 *
 * The runtime is built with hidden symbols; the functions that other
 * libraries and hosts call (texts, GUID text, variants, safe arrays and the
 * few helpers the header templates need) carry ZT_ATLCOM_API and are exported
 * from libZtEventLoggerVdlProxy_2.1 under their ZtAtlCom names.
 */
#ifndef ZT_ATLCOM_EXPORT_H
#define ZT_ATLCOM_EXPORT_H

#if defined(__GNUC__)
#define ZT_ATLCOM_API __attribute__((visibility("default")))
#else
#define ZT_ATLCOM_API
#endif

#endif /* ZT_ATLCOM_EXPORT_H */
