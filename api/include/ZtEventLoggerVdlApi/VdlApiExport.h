// VdlApiExport.h - export marker of libZtEventLoggerVdlApi_2.1.
#ifndef ZT_VDL_API_EXPORT_H
#define ZT_VDL_API_EXPORT_H

#if defined(__GNUC__)
#define ZT_VDLAPI __attribute__((visibility("default")))
#define ZT_VDLAPI_LOCAL __attribute__((visibility("hidden")))
#else
#define ZT_VDLAPI
#define ZT_VDLAPI_LOCAL
#endif

#endif  // ZT_VDL_API_EXPORT_H
