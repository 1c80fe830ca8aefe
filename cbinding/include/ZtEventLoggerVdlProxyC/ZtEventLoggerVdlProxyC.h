/*
 * ZtEventLoggerVdlProxyC.h - the flat C binding of the event logger library
 * (libZtEventLoggerVdlProxyC_2.1). A C host includes this header alone.
 *
 *     void* logger = NULL;
 *     GUID clsid = ZT_CLSID_ZtEventLogger_INIT;
 *     HRESULT hr = CreateHandle(clsid, &logger);
 *     if (hr == S_OK) hr = IZtEventLogger_Connect(logger, "localhost");
 *     ...
 *     ReleaseHandle(logger);
 *
 * Handles. Every object a C host sees is a handle: an opaque pointer that
 * names one object (two handles of the same object are equal). Handles come
 * from CreateHandle, from every function with an output object and from the
 * event callbacks. Each of them is one registration, and each registration
 * is given back with exactly one ReleaseHandle: obtaining the same object
 * twice (the same collection item, the same alarm in two events) yields the
 * same handle value, which must then be released twice. Once its last
 * registration is released a handle is unknown to the library, whether or
 * not the object lives on inside the library (an alarm in the active list).
 *
 * Results. Every function returns an HRESULT: 0 (S_OK) for every success,
 * a negative code for a failure. Codes of the binding itself:
 *   E_NOINTERFACE  0x80004002  the handle is not registered (never obtained,
 *                              or released) or its object lacks the
 *                              function's interface; likewise an optional
 *                              object argument that is not null. Nothing is
 *                              called.
 *   E_INVALIDARG   0x80070057  a null callback of an output text or VARIANT,
 *                              a null pointer for an output object, an output
 *                              boolean or a callback cookie; ReleaseHandle of
 *                              an unregistered handle. Nothing is called.
 *   E_OUTOFMEMORY  0x8007000E  an input text could not be copied. Nothing is
 *                              called.
 *   E_FAIL         0x80004005  an object was produced but could not be
 *                              registered as a handle (the object is gone).
 * Every other failure is the object's own (see the component headers of the
 * library for their meaning); controller and router errors are
 * 0x98110000 + the router's error code.
 *
 * Arguments.
 *   - Input texts are UTF-8, copied for the call; NULL is passed as no text.
 *   - Output texts are handed to a callback (ZtTextCallback) once, on the
 *     calling thread, before the function returns, and only on success. The
 *     text (NULL for no text) is valid during the callback only.
 *   - Input booleans are one byte, 0 or 1. Output booleans are written as 1
 *     or 0 (on success only).
 *   - Input VARIANTs are copied for the call (NULL is VT_EMPTY); a VT_BSTR may
 *     carry a plain UTF-8 C string in bstrVal. Output VARIANTs go to a
 *     ZtVariantCallback, valid during the callback only.
 *   - Output objects: on success the new handle is written to *out (the
 *     caller releases it); a call that succeeds without an object leaves
 *     *out as it was, so initialise it to NULL.
 *   - Optional object arguments: NULL for none.
 *   - Other pointers and values pass unchanged to the object, which checks
 *     them.
 *
 * Threads. Any thread may call any function, also several at once on the
 * same handle; a long call (a request to the controller) does not hold up
 * other threads. Event callbacks run on the logger's own worker thread (see
 * IZtEventLogger_AdviseCallbacks).
 */
#ifndef ZT_EVENT_LOGGER_VDL_PROXY_C_H
#define ZT_EVENT_LOGGER_VDL_PROXY_C_H

#include <stddef.h>
#include <stdint.h>

#if defined(ZT_BUILDING_PROXYC_LIBRARY)
#define ZTPROXYC_API __attribute__((visibility("default")))
#else
#define ZTPROXYC_API
#endif

#ifdef __cplusplus
#define ZTPROXYC_NOEXCEPT noexcept
extern "C" {
#else
#define ZTPROXYC_NOEXCEPT
#endif

/* ---- basic types ---------------------------------------------------------- */

typedef int32_t HRESULT;

/* The generic result codes (C only: C++ hosts have them from the component
 * headers, as constants of namespace ZtAtlCom). */
#ifndef __cplusplus
#ifndef S_OK
#define S_OK ((HRESULT)0)
#endif
#ifndef S_FALSE
#define S_FALSE ((HRESULT)1)
#endif
#ifndef E_NOINTERFACE
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#endif
#ifndef E_POINTER
#define E_POINTER ((HRESULT)0x80004003u)
#endif
#ifndef E_FAIL
#define E_FAIL ((HRESULT)0x80004005u)
#endif
#ifndef E_OUTOFMEMORY
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#endif
#ifndef E_INVALIDARG
#define E_INVALIDARG ((HRESULT)0x80070057u)
#endif
#ifndef REGDB_E_CLASSNOTREG
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154u)
#endif
#ifndef CONNECT_E_NOCONNECTION
#define CONNECT_E_NOCONNECTION ((HRESULT)0x80040200u)
#endif
#endif /* __cplusplus */

/* 16 bytes, little-endian fields. Interface and class ids are GUIDs. */
typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;

typedef uint16_t VARTYPE;
typedef int16_t VARIANT_BOOL; /* -1 true, 0 false */

/* Type codes of a VARIANT (vt). */
enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000
};

/* The published 24-byte VARIANT: vt, three reserved words, then the value
 * (its first 8 bytes hold the scalar or pointer). The value union is named
 * u so that the layout reads the same in C99 and C11; the V_ macros below
 * read it as hosts of the published layout are used to. */
typedef struct tagVARIANT {
    VARTYPE vt;
    uint16_t wReserved1;
    uint16_t wReserved2;
    uint16_t wReserved3;
    union {
        int64_t llVal;      /* VT_I8 */
        int32_t lVal;       /* VT_I4 */
        uint8_t bVal;       /* VT_UI1 */
        int16_t iVal;       /* VT_I2 */
        float fltVal;       /* VT_R4 */
        double dblVal;      /* VT_R8 */
        VARIANT_BOOL boolVal; /* VT_BOOL */
        int32_t scode;      /* VT_ERROR */
        int64_t cyVal;      /* VT_CY: value x 10000 */
        double date;        /* VT_DATE: days since 1899-12-30 */
        char* bstrVal;      /* VT_BSTR: UTF-8 text */
        void* punkVal;      /* VT_UNKNOWN */
        void* pdispVal;     /* VT_DISPATCH */
        void* parray;       /* VT_ARRAY */
        void* byref;        /* VT_BYREF */
        char cVal;          /* VT_I1 */
        uint16_t uiVal;     /* VT_UI2 */
        uint32_t ulVal;     /* VT_UI4 */
        uint64_t ullVal;    /* VT_UI8 */
        int32_t intVal;     /* VT_INT */
        uint32_t uintVal;   /* VT_UINT */
        struct {
            void* pvRecord;
            void* pRecInfo;
        } brecVal;          /* spans the 16 value bytes */
    } u;
} VARIANT;

#define V_VT(v) ((v)->vt)
#define V_I1(v) ((v)->u.cVal)
#define V_I2(v) ((v)->u.iVal)
#define V_I4(v) ((v)->u.lVal)
#define V_I8(v) ((v)->u.llVal)
#define V_UI1(v) ((v)->u.bVal)
#define V_UI2(v) ((v)->u.uiVal)
#define V_UI4(v) ((v)->u.ulVal)
#define V_UI8(v) ((v)->u.ullVal)
#define V_INT(v) ((v)->u.intVal)
#define V_UINT(v) ((v)->u.uintVal)
#define V_R4(v) ((v)->u.fltVal)
#define V_R8(v) ((v)->u.dblVal)
#define V_BOOL(v) ((v)->u.boolVal)
#define V_BSTR(v) ((v)->u.bstrVal)
#define V_ERROR(v) ((v)->u.scode)
#define V_DATE(v) ((v)->u.date)

/* Where the argument blocks of an event lie (IZtEvent_GetArgumentInfo): in
 * the copy GetArgumentData writes, the type block (2 bytes per argument)
 * comes first and the data block right behind it. 20 bytes. */
typedef struct ZtEventArgumentsInfo {
    uint32_t argumentCount;
    uint32_t typesOffset;
    uint32_t typesSize;
    uint32_t dataOffset;
    uint32_t dataSize;
} ZtEventArgumentsInfo;

/* A typed scalar, the C form of ZtAtlCom::Interop::Primitive (ZtInterop.h):
 * 12 bytes, packed to 4, the value in the low-order bytes of its field. */
enum ZtPrimitiveType {
    ZtPrimitiveNone = 0,
    ZtPrimitiveInt8 = 1,
    ZtPrimitiveInt16 = 2,
    ZtPrimitiveInt32 = 3,
    ZtPrimitiveInt64 = 4,
    ZtPrimitiveUInt8 = 5,
    ZtPrimitiveUInt16 = 6,
    ZtPrimitiveUInt32 = 7,
    ZtPrimitiveUInt64 = 8,
    ZtPrimitiveFloat = 9,
    ZtPrimitiveDouble = 10
};
#pragma pack(push, 4)
typedef struct ZtPrimitive {
    int32_t type; /* enum ZtPrimitiveType */
    union {
        int8_t i8;
        int16_t i16;
        int32_t i32;
        int64_t i64;
        uint8_t u8;
        uint16_t u16;
        uint32_t u32;
        uint64_t u64;
        float f32;
        double f64;
    } value;
} ZtPrimitive;
#pragma pack(pop)

/* ---- enumerations (passed as 32-bit values) ----------------------------- */

typedef int32_t ZtEventType; /* enum tagEventTypeEnum */
enum tagEventTypeEnum { EventTypeMessage = 0, EventTypeAlarm = 1 };

typedef int32_t ZtSeverityLevel; /* enum tagSeverityLevelEnum */
enum tagSeverityLevelEnum {
    SeverityVerbose = 0,
    SeverityInfo = 1,
    SeverityWarning = 2,
    SeverityError = 3,
    SeverityCritical = 4
};

/* States 1 and 3 are the service's own and are passed through. */
typedef int32_t ZtConfirmationState; /* enum tagConfirmationStateEnum */
enum tagConfirmationStateEnum {
    ConfirmationNotRequired = 0,
    ConfirmationStateOne = 1,
    ConfirmationWaitForConfirmation = 2,
    ConfirmationStateThree = 3,
    ConfirmationReset = 4
};

typedef int32_t ZtSourceInfoType; /* enum tagZtSourceInfoTypeEnum */
enum tagZtSourceInfoTypeEnum { SourceInfoId = 1, SourceInfoGuid = 2, SourceInfoName = 4 };

typedef int32_t ZtFilterCompare; /* enum tagZtFilterCompareEnum */
enum tagZtFilterCompareEnum {
    FilterEqual = 0,
    FilterNotEqual = 1,
    FilterLess = 2,
    FilterLessOrEqual = 3,
    FilterGreater = 4,
    FilterGreaterOrEqual = 5,
    FilterContains = 6,
    FilterStartsWith = 7,
    FilterEndsWith = 8
};

typedef int32_t ZtTimeStamp; /* enum tagZtTimeStampEnum */
enum tagZtTimeStampEnum { TimeStampRaised = 0, TimeStampCleared = 1, TimeStampConfirmed = 2, TimeStampDisposed = 3 };

typedef int32_t ZtEventOrder; /* enum tagZtEventOrderEnum */
enum tagZtEventOrderEnum { EventOrderNewestFirst = 0, EventOrderOldestFirst = 1 };

/* ---- callbacks -------------------------------------------------------------- */

/* Receives an output text (UTF-8, NULL for none), valid during the call. */
typedef void (*ZtTextCallback)(void* context, const char* text);
/* Receives an output VARIANT, valid during the call (its texts and arrays
 * are freed when the callback returns). */
typedef void (*ZtVariantCallback)(void* context, const VARIANT* value);

/* ---- class ids ----------------------------------------------------------------
 * The classes CreateHandle makes. The _INIT macros initialise a GUID in C
 * and C++; in C the plain names are GUID values (compound literals). */
#define ZT_CLSID_ZtEventLogger_INIT {0x9131811Au, 0x838B, 0xCD6C, {0xC5, 0x49, 0x3B, 0xF4, 0x41, 0xF5, 0x5F, 0xF7}}
#define ZT_CLSID_ZtArguments_INIT {0x26325FD0u, 0x6894, 0x5118, {0x59, 0x4F, 0x29, 0x7C, 0xED, 0x19, 0xC3, 0x95}}
#define ZT_CLSID_ZtArgumentEntry_INIT {0xFE3458F0u, 0xD408, 0x5BAD, {0xBA, 0x26, 0x67, 0x2A, 0x9C, 0xA3, 0x6D, 0x3A}}
#define ZT_CLSID_ZtSourceInfo_INIT {0x24FB3B1Eu, 0x2B08, 0xE7EA, {0x87, 0x44, 0xF2, 0xCD, 0xEA, 0x77, 0x43, 0xFF}}
/* From the filter library: a filter (IZtEventFilter, IZtAlarmFilter,
 * IZtSegbusDeviceEventFilter) and log-read/export settings
 * (IZtExportSettings, IZtCsvExportSettings). */
#define ZT_CLSID_ZtEventFilter_INIT {0x30264E87u, 0x48E7, 0x40B7, {0xB7, 0x1D, 0xAD, 0x38, 0x67, 0x3E, 0x57, 0x1B}}
#define ZT_CLSID_ZtExportSettings_INIT {0x66C86B71u, 0x1205, 0x42E5, {0x81, 0xB3, 0x99, 0x8F, 0x8D, 0x9E, 0x3B, 0x75}}
#ifndef __cplusplus
#define CLSID_ZtEventLogger ((GUID)ZT_CLSID_ZtEventLogger_INIT)
#define CLSID_ZtArguments ((GUID)ZT_CLSID_ZtArguments_INIT)
#define CLSID_ZtArgumentEntry ((GUID)ZT_CLSID_ZtArgumentEntry_INIT)
#define CLSID_ZtSourceInfo ((GUID)ZT_CLSID_ZtSourceInfo_INIT)
#define CLSID_ZtEventFilter ((GUID)ZT_CLSID_ZtEventFilter_INIT)
#define CLSID_ZtExportSettings ((GUID)ZT_CLSID_ZtExportSettings_INIT)
#endif

/* ---- interface ids ----------------------------------------------------------
 * 16-byte read-only data of the library, named after the id's text; the
 * IID_ names are spelled for readers. */
ZTPROXYC_API extern const GUID _GUID_00000000_0000_0000_c000_000000000046;
ZTPROXYC_API extern const GUID _GUID_199c67f3_1e75_b688_452b_bb4de5e2c512;
ZTPROXYC_API extern const GUID _GUID_8553e857_3eb7_ee60_84b1_823448218033;
ZTPROXYC_API extern const GUID _GUID_0def4502_77f3_516e_a9a7_84db2d886857;
ZTPROXYC_API extern const GUID _GUID_d940c6a7_6cb1_b5b8_8628_f0f2a7e74469;
ZTPROXYC_API extern const GUID _GUID_6f6641e6_6064_7652_e86e_48e43f0ea0e7;
ZTPROXYC_API extern const GUID _GUID_cb42bc96_2b7a_dd36_64dd_026f665806c3;
ZTPROXYC_API extern const GUID _GUID_6568cb44_e548_38b9_f3cd_948bad119176;
ZTPROXYC_API extern const GUID _GUID_a72a8fb4_6625_dfb8_4965_59ed3672fe3b;
ZTPROXYC_API extern const GUID _GUID_5542c560_61df_369d_6a6a_6e70ef14e4db;
ZTPROXYC_API extern const GUID _GUID_dbbf805a_be56_cafa_c3ad_8657ffcc0d03;
ZTPROXYC_API extern const GUID _GUID_e4814f90_35b2_e0c2_cdc8_4facf0b93482;
ZTPROXYC_API extern const GUID _GUID_7f082ceb_5849_2339_f26e_40f1f89b8c47;
ZTPROXYC_API extern const GUID _GUID_ab1e800b_cfcb_18c1_52b3_7957f0b34f22;
ZTPROXYC_API extern const GUID _GUID_855560c0_b58e_49d8_2d5d_245a28f412ff;
ZTPROXYC_API extern const GUID _GUID_fd9aacf8_463e_16dc_75eb_8b0255bf5264;
ZTPROXYC_API extern const GUID _GUID_40fe833c_7627_4c1b_bd60_12f6db71bc05;
ZTPROXYC_API extern const GUID _GUID_8ca549d2_5acc_d78a_9d32_c65cf149c31a;
ZTPROXYC_API extern const GUID _GUID_4f3e3ece_2f11_6dc4_056e_1df5c2c84450;
ZTPROXYC_API extern const GUID _GUID_6d7f95c0_c3d2_889d_ed56_c220d92b5d58;
ZTPROXYC_API extern const GUID _GUID_a60931bc_ff64_c536_1589_36445cb95bb1;
ZTPROXYC_API extern const GUID _GUID_10444087_7f0a_cc7a_8584_d400e1500f09;
ZTPROXYC_API extern const GUID _GUID_8cc384da_7653_6482_ce0d_edce97fe78ce;
ZTPROXYC_API extern const GUID _GUID_289b61b1_31c1_f4f8_30a2_6e3d4855f12c;
ZTPROXYC_API extern const GUID _GUID_1c7674ae_b0d2_b0f2_9f9e_84b20f95a13e;
ZTPROXYC_API extern const GUID _GUID_9fe4e6f4_3478_cd14_2a78_8d1d6c69d3e5;
ZTPROXYC_API extern const GUID _GUID_2894cc3b_e43d_c171_24b5_6f549b179ad9;
ZTPROXYC_API extern const GUID _GUID_56c60b31_0e51_2dd5_b0a0_d342fbca96b3;
ZTPROXYC_API extern const GUID _GUID_fc4b8323_4e7b_e642_fcdf_9baf02915a4a;
ZTPROXYC_API extern const GUID _GUID_e31aab1c_958c_dd92_4afa_02ad9c26d925;
ZTPROXYC_API extern const GUID _GUID_2c0d2cd1_6f95_4c41_8602_a37c38713111;

#ifndef __cplusplus /* C++ hosts have the IID_ constants of the component headers */
#define IID_IUnknown _GUID_00000000_0000_0000_c000_000000000046
#define IID_IZtSourceInfo _GUID_199c67f3_1e75_b688_452b_bb4de5e2c512
#define IID_IZtArgumentEntry _GUID_8553e857_3eb7_ee60_84b1_823448218033
#define IID_IZtArguments _GUID_0def4502_77f3_516e_a9a7_84db2d886857
#define IID_IZtEventFilter _GUID_d940c6a7_6cb1_b5b8_8628_f0f2a7e74469
#define IID_IZtSegbusDeviceEventFilter _GUID_6f6641e6_6064_7652_e86e_48e43f0ea0e7
#define IID_IZtAlarmFilter _GUID_cb42bc96_2b7a_dd36_64dd_026f665806c3
#define IID_IZtCsvExportSettings _GUID_6568cb44_e548_38b9_f3cd_948bad119176
#define IID_IZtDetail _GUID_a72a8fb4_6625_dfb8_4965_59ed3672fe3b
#define IID_IZtDetailCollection _GUID_5542c560_61df_369d_6a6a_6e70ef14e4db
#define IID_IZtCauseRemedy _GUID_dbbf805a_be56_cafa_c3ad_8657ffcc0d03
#define IID_IZtCauseRemedyCollection _GUID_e4814f90_35b2_e0c2_cdc8_4facf0b93482
#define IID_IZtEvent _GUID_7f082ceb_5849_2339_f26e_40f1f89b8c47
#define IID_IZtMessage _GUID_ab1e800b_cfcb_18c1_52b3_7957f0b34f22
#define IID_IZtMessage2 _GUID_855560c0_b58e_49d8_2d5d_245a28f412ff
#define IID_IZtMessage3 _GUID_fd9aacf8_463e_16dc_75eb_8b0255bf5264
#define IID_IZtAlarm _GUID_40fe833c_7627_4c1b_bd60_12f6db71bc05
#define IID_IZtAlarm2 _GUID_8ca549d2_5acc_d78a_9d32_c65cf149c31a
#define IID_IZtAlarm3 _GUID_4f3e3ece_2f11_6dc4_056e_1df5c2c84450
#define IID_IZtLoggedEvent _GUID_6d7f95c0_c3d2_889d_ed56_c220d92b5d58
#define IID_IZtLoggedEvent2 _GUID_a60931bc_ff64_c536_1589_36445cb95bb1
#define IID_IZtLoggedEvent3 _GUID_10444087_7f0a_cc7a_8584_d400e1500f09
#define IID_IZtLoggedEvent4 _GUID_8cc384da_7653_6482_ce0d_edce97fe78ce
#define IID_IZtAlarmCollection _GUID_289b61b1_31c1_f4f8_30a2_6e3d4855f12c
#define IID_IZtLoggedEventCollection _GUID_1c7674ae_b0d2_b0f2_9f9e_84b20f95a13e
#define IID_IZtEventLogger _GUID_9fe4e6f4_3478_cd14_2a78_8d1d6c69d3e5
#define IID_IZtEventLogger2 _GUID_2894cc3b_e43d_c171_24b5_6f549b179ad9
#define IID_IZtEventLogger3 _GUID_56c60b31_0e51_2dd5_b0a0_d342fbca96b3
#define IID__IZtEventLoggerEvents _GUID_fc4b8323_4e7b_e642_fcdf_9baf02915a4a
#define IID__IZtAlarmEvents _GUID_e31aab1c_958c_dd92_4afa_02ad9c26d925
#define IID_IZtExportSettings _GUID_2c0d2cd1_6f95_4c41_8602_a37c38713111
#endif

/* ---- handles ------------------------------------------------------------------ */

/* Creates an object of class clsid and registers it: *handle receives the
 * handle, which holds the only reference (release it with ReleaseHandle).
 * Class ids of the event logger library answer as its factory does (the
 * event logger starts its worker thread here); the filter and settings
 * class ids go to the filter library. REGDB_E_CLASSNOTREG for a class
 * neither knows, E_OUTOFMEMORY, E_FAIL when no handle could be registered,
 * E_INVALIDARG for a null handle pointer. *handle is left as it was on a
 * factory failure and set to NULL with E_FAIL. */
ZTPROXYC_API HRESULT CreateHandle(GUID clsid, void** handle) ZTPROXYC_NOEXCEPT;

/* Gives back one registration of handle; the last one makes the handle
 * unknown and drops the library's reference (destroying the object when
 * nothing else holds it: a connected logger disconnects first and stops its
 * worker thread). Any handle may be released from inside a callback, the
 * logger's own included: the object then goes once the callback returns.
 * E_INVALIDARG for a handle that is not registered (NULL, never obtained,
 * released already). */
ZTPROXYC_API HRESULT ReleaseHandle(void* handle) ZTPROXYC_NOEXCEPT;

/* ---- IZtSourceInfo: the source of a message a host sends ------------------
 * At most one numeric id, one GUID and one name. The getters return S_OK
 * with the output untouched when the item is not set. */
ZTPROXYC_API HRESULT IZtSourceInfo_IsSourceInfoTypeSupported(void* handle, ZtSourceInfoType type,
                                                             char* supported) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSourceInfo_get_Count(void* handle, int* count) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSourceInfo_Clear(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSourceInfo_get_Id(void* handle, unsigned int* id) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSourceInfo_put_Id(void* handle, unsigned int id) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSourceInfo_get_Guid(void* handle, GUID* guid) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSourceInfo_put_Guid(void* handle, GUID guid) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSourceInfo_get_Name(void* handle, ZtTextCallback callback, void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSourceInfo_put_Name(void* handle, const char* name) ZTPROXYC_NOEXCEPT;

/* ---- IZtArgumentEntry: one typed argument ----------------------------------
 * Set takes VT_BOOL, VT_I1..VT_UI8, VT_INT, VT_UINT, VT_R4, VT_R8, VT_DECIMAL
 * and VT_BSTR (others: E_NOINTERFACE, entry unchanged). The typed getters
 * convert a copy of the value; a failed conversion writes nothing. */
ZTPROXYC_API HRESULT IZtArgumentEntry_Set(void* handle, const VARIANT* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_Get(void* handle, ZtVariantCallback callback, void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetBoolean(void* handle, char* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetInt8(void* handle, signed char* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetInt16(void* handle, short* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetInt32(void* handle, int* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetInt64(void* handle, int64_t* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetUInt8(void* handle, unsigned char* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetUInt16(void* handle, unsigned short* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetUInt32(void* handle, unsigned int* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetUInt64(void* handle, uint64_t* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetFloat(void* handle, float* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetDouble(void* handle, double* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArgumentEntry_GetString(void* handle, ZtTextCallback callback, void* context) ZTPROXYC_NOEXCEPT;

/* ---- IZtArguments: the argument list of a message a host sends -------------
 * Zero-based. get_Item hands out the entry's handle (E_INVALIDARG outside
 * [0, count)). AddV adds count VARIANTs from values (NULL with count 0 adds
 * nothing; NULL with a positive count or a negative count: E_INVALIDARG;
 * E_FAIL when the values cannot be gathered; elements the list refuses are
 * skipped). Set/Remove: E_BOUNDS above the count. Times are DATEs. */
ZTPROXYC_API HRESULT IZtArguments_get_Item(void* handle, int index, void** item) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArguments_get_Count(void* handle, int* count) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArguments_get_Size(void* handle, int* count) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArguments_Add(void* handle, const VARIANT* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArguments_AddV(void* handle, const VARIANT* values, int count) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArguments_Set(void* handle, int index, const VARIANT* value) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArguments_Remove(void* handle, int index) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArguments_Clear(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArguments_get_TimeRaised(void* handle, double* time) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtArguments_put_TimeRaised(void* handle, double time) ZTPROXYC_NOEXCEPT;

/* ---- IZtEventFilter: which events an operation selects ---------------------
 * Each Add...Expression appends "field <compare> operand" (operand first,
 * ZtFilterCompare last); consecutive expressions are ANDed, AddLogicalOperator
 * puts an OR between its neighbours, AddNotOperator negates what follows,
 * AddExpressionGroup appends a copy of another filter in parentheses (a NULL
 * group is refused by the filter with E_POINTER). Values out of range are
 * recorded and make the filter invalid: the logger then refuses it with
 * 0x9811070B. Times are FILETIMEs. */
ZTPROXYC_API HRESULT IZtEventFilter_Clear(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddEventTypeExpression(void* handle, ZtEventType eventType,
                                                           ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddEventClassExpression(void* handle, GUID eventClass,
                                                            ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddEventIdExpression(void* handle, unsigned int eventId,
                                                         ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddSeverityExpression(void* handle, ZtSeverityLevel severity,
                                                          ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddTimeStampExpression(void* handle, ZtTimeStamp which, int64_t fileTime,
                                                           ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddSourceGuidExpression(void* handle, GUID sourceGuid,
                                                            ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddSourceIdExpression(void* handle, unsigned int sourceId,
                                                          ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddSourceNameExpression(void* handle, const char* sourceName,
                                                            ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddJsonAttributeExpression(void* handle, const char* path, const char* value,
                                                               ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddLogicalOperator(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddNotOperator(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventFilter_AddExpressionGroup(void* handle, void* group) ZTPROXYC_NOEXCEPT;

/* ---- IZtSegbusDeviceEventFilter: events of field-bus devices (same filter) -- */
ZTPROXYC_API HRESULT IZtSegbusDeviceEventFilter_AddIsSegbusDeviceEventExpression(void* handle,
                                                                                 int isDeviceEvent) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSegbusDeviceEventFilter_AddVendorIdExpression(void* handle, unsigned int vendorId,
                                                                      ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSegbusDeviceEventFilter_AddProductCodeExpression(void* handle, unsigned int productCode,
                                                                         ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtSegbusDeviceEventFilter_AddRevisionNoExpression(void* handle, unsigned int revisionNo,
                                                                        ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;

/* ---- IZtAlarmFilter: the state of alarms (same filter; 0 false, else true) -- */
ZTPROXYC_API HRESULT IZtAlarmFilter_AddIsActiveExpression(void* handle, int active) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarmFilter_AddIsRaisedExpression(void* handle, int raised) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarmFilter_AddIsWaitForConfirmationExpression(void* handle, int waiting) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarmFilter_AddConfirmationStateExpression(void* handle, ZtConfirmationState state,
                                                                   ZtFilterCompare compare) ZTPROXYC_NOEXCEPT;

/* ---- IZtCsvExportSettings: how an export writes its file (settings object) --
 * Delimiter one character other than '"', CR, LF (default ","); header line
 * (default 1); language id (default 1033). Values are recorded as given;
 * invalid ones make the settings invalid. */
ZTPROXYC_API HRESULT IZtCsvExportSettings_get_Delimiter(void* handle, ZtTextCallback callback,
                                                        void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtCsvExportSettings_put_Delimiter(void* handle, const char* delimiter) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtCsvExportSettings_get_WithHeader(void* handle, char* withHeader) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtCsvExportSettings_put_WithHeader(void* handle, char withHeader) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtCsvExportSettings_get_LangId(void* handle, long* langId) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtCsvExportSettings_put_LangId(void* handle, long langId) ZTPROXYC_NOEXCEPT;

/* ---- IZtDetail and IZtDetailCollection: named detail texts of an event ------
 * Collections are zero-based snapshots; get_Item outside [0, count):
 * E_INVALIDARG. get_Size is the same as get_Count. */
ZTPROXYC_API HRESULT IZtDetail_get_Name(void* handle, ZtTextCallback callback, void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtDetail_get_Text(void* handle, ZtTextCallback callback, void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtDetail_get_Comment(void* handle, ZtTextCallback callback, void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtDetailCollection_get_Item(void* handle, int index, void** item) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtDetailCollection_get_Count(void* handle, int* count) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtDetailCollection_get_Size(void* handle, int* count) ZTPROXYC_NOEXCEPT;

/* ---- IZtCauseRemedy and IZtCauseRemedyCollection: causes with remedies ------ */
ZTPROXYC_API HRESULT IZtCauseRemedy_get_Id(void* handle, ZtTextCallback callback, void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtCauseRemedy_get_Cause(void* handle, ZtTextCallback callback, void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtCauseRemedy_get_Remedy(void* handle, ZtTextCallback callback, void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtCauseRemedyCollection_get_Item(void* handle, int index, void** item) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtCauseRemedyCollection_get_Count(void* handle, int* count) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtCauseRemedyCollection_get_Size(void* handle, int* count) ZTPROXYC_NOEXCEPT;

/* ---- IZtEvent: what messages and alarms have in common ---------------------
 * get_SourceId/get_SourceGuid: S_OK with the output untouched when the event
 * has no such item. Times: DATE (0.0 when not set) and FILETIME (100 ns since
 * 1601 UTC, 0 when not set; a NULL pointer is E_FAIL). GetText and
 * GetEventClassName ask the controller (language ids: 1033 English, 1031
 * German, ...). GetArgumentData writes the type and data blocks to the
 * address passed as buffer (size bytes there; E_INVALIDARG when they do not
 * fit), laid out as GetArgumentInfo reports. */
ZTPROXYC_API HRESULT IZtEvent_get_EventClass(void* handle, GUID* eventClass) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_get_EventId(void* handle, unsigned int* eventId) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_get_SeverityLevel(void* handle, ZtSeverityLevel* severity) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_get_EventType(void* handle, ZtEventType* eventType) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_IsSourceInfoTypeSupported(void* handle, ZtSourceInfoType type,
                                                        char* supported) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_get_SourceId(void* handle, unsigned int* sourceId) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_get_SourceGuid(void* handle, GUID* sourceGuid) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_get_SourceName(void* handle, ZtTextCallback callback, void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_get_TimeRaised(void* handle, double* time) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_get_FileTimeRaised(void* handle, int64_t* fileTime) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_GetText(void* handle, long langId, ZtTextCallback callback,
                                      void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_GetEventClassName(void* handle, long langId, ZtTextCallback callback,
                                                void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_GetArgumentInfo(void* handle, ZtEventArgumentsInfo* info) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEvent_GetArgumentData(void* handle, void** buffer, unsigned int size) ZTPROXYC_NOEXCEPT;

/* ---- IZtMessage2, IZtMessage3: a message the controller reported ------------
 * The JSON attribute is empty when there is none. Cause/remedy and details:
 * a collection handle (empty when the controller has no texts). */
ZTPROXYC_API HRESULT IZtMessage2_get_JsonAttribute(void* handle, ZtTextCallback callback,
                                                   void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtMessage3_GetCauseRemedy(void* handle, long langId, void** causes) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtMessage3_GetDetails(void* handle, long langId, void** details) ZTPROXYC_NOEXCEPT;

/* ---- IZtAlarm, IZtAlarm2, IZtAlarm3: an alarm ----------------------------------
 * While in the active list an alarm follows every change the controller
 * reports. get_IsRaised writes 1 for a raised alarm, 0 otherwise. Confirm
 * sends the confirmation and returns S_OK whatever its outcome; the state
 * changes when the controller's confirmation arrives. A message handle lacks
 * these interfaces (E_NOINTERFACE). */
ZTPROXYC_API HRESULT IZtAlarm_get_IsRaised(void* handle, char* raised) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarm_get_TimeCleared(void* handle, double* time) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarm_get_FileTimeCleared(void* handle, int64_t* fileTime) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarm_get_ConfirmationState(void* handle, ZtConfirmationState* state) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarm_Confirm(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarm_get_TimeConfirmed(void* handle, double* time) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarm_get_FileTimeConfirmed(void* handle, int64_t* fileTime) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarm2_get_JsonAttribute(void* handle, ZtTextCallback callback,
                                                 void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarm3_GetCauseRemedy(void* handle, long langId, void** causes) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarm3_GetDetails(void* handle, long langId, void** details) ZTPROXYC_NOEXCEPT;

/* ---- IZtLoggedEvent .. IZtLoggedEvent4: one event of the controller's log ---
 * Never changes. get_SourceName without a name item: S_OK, no callback text
 * (NULL). get_IsActive: 1 for an alarm raised or waiting for confirmation
 * when logged. Argument data as for IZtEvent. */
ZTPROXYC_API HRESULT IZtLoggedEvent_get_EventClass(void* handle, GUID* eventClass) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_EventId(void* handle, unsigned int* eventId) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_SeverityLevel(void* handle, ZtSeverityLevel* severity) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_EventType(void* handle, ZtEventType* eventType) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_IsSourceInfoTypeSupported(void* handle, ZtSourceInfoType type,
                                                              char* supported) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_SourceId(void* handle, unsigned int* sourceId) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_SourceGuid(void* handle, GUID* sourceGuid) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_SourceName(void* handle, ZtTextCallback callback,
                                                   void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_TimeRaised(void* handle, double* time) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_FileTimeRaised(void* handle, int64_t* fileTime) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_TimeCleared(void* handle, double* time) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_FileTimeCleared(void* handle, int64_t* fileTime) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_WithConfirmation(void* handle, char* withConfirmation) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_TimeConfirmed(void* handle, double* time) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_get_FileTimeConfirmed(void* handle, int64_t* fileTime) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_GetText(void* handle, long langId, ZtTextCallback callback,
                                            void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent_GetEventClassName(void* handle, long langId, ZtTextCallback callback,
                                                      void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent2_get_JsonAttribute(void* handle, ZtTextCallback callback,
                                                       void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent3_get_IsActive(void* handle, char* active) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent3_GetArgumentInfo(void* handle, ZtEventArgumentsInfo* info) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent3_GetArgumentData(void* handle, void** buffer,
                                                     unsigned int size) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent4_GetCauseRemedy(void* handle, long langId, void** causes) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEvent4_GetDetails(void* handle, long langId, void** details) ZTPROXYC_NOEXCEPT;

/* ---- IZtAlarmCollection, IZtLoggedEventCollection ------------------------------
 * Snapshots, zero-based; each item handle obtained is released on its own
 * (the same item twice is the same handle, registered twice). */
ZTPROXYC_API HRESULT IZtAlarmCollection_get_Item(void* handle, int index, void** alarm) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarmCollection_get_Count(void* handle, int* count) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarmCollection_get_Size(void* handle, int* count) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEventCollection_get_Item(void* handle, int index, void** event) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEventCollection_get_Count(void* handle, int* count) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtLoggedEventCollection_get_Size(void* handle, int* count) ZTPROXYC_NOEXCEPT;

/* ---- IZtEventLogger .. IZtEventLogger3: the event logger ----------------------
 * Connect(target): a NetId in dotted text ("5.12.34.56.1.1"), a local alias
 * ("", "localhost", "127.0.0.1") or the name of a route; NULL: E_POINTER.
 * After Connect the active list holds the controller's active alarms (no
 * events for them). get_ActiveAlarms: a snapshot collection in key order.
 * GetLoggedEvents(count): the newest count events. GetText: the text of an
 * event given by key and arguments (layout of IZtEvent_GetArgumentInfo).
 * SendZtMessage: json, sourceInfo (IZtSourceInfo) and arguments
 * (IZtArguments) may be NULL; the controller logs the message and reports
 * it to every subscriber, this logger included. ConfirmAlarms/ClearAlarms:
 * the alarms the filter (IZtEventFilter; NULL: all) selects that were raised
 * at or before timeStamp (FILETIME; 0: any). GetLoggedEvents2 and
 * ExportLoggedEvents take settings (IZtExportSettings; NULL: all events);
 * GetLoggedEvents2 returns the object's own success code when it succeeds
 * without a collection. Invalid filters or settings: 0x9811070B, nothing
 * sent. Requests run on the calling thread. */
ZTPROXYC_API HRESULT IZtEventLogger_Connect(void* handle, const char* target) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger_Disconnect(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger_get_IsConnected(void* handle, char* connected) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger_get_ActiveAlarms(void* handle, void** alarms) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger_ClearAllAlarms(void* handle, char resetConfirmation) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger_ConfirmAllAlarms(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger_GetLoggedEvents(void* handle, unsigned int count, void** events) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger_ClearLoggedEvents(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger_GetText(void* handle, GUID eventClass, unsigned int eventId,
                                            unsigned int keyQualifier, ZtEventArgumentsInfo argumentsInfo,
                                            void* argumentData, int langId, ZtTextCallback callback,
                                            void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger_GetEventClassName(void* handle, GUID eventClass, int langId,
                                                      ZtTextCallback callback, void* context) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger2_SendZtMessage(void* handle, GUID eventClass, unsigned int eventId,
                                                   ZtSeverityLevel severity, const char* json, void* sourceInfo,
                                                   void* arguments) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger3_ExportLoggedEvents(void* handle, const char* fileName,
                                                        void* settings) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger3_GetLoggedEvents2(void* handle, void* settings, void** events) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger3_ConfirmAlarms(void* handle, long timeStamp, void* filter) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger3_ClearAlarms(void* handle, long timeStamp, char resetConfirmation,
                                                 void* filter) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger3_ClearResourceCache(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger3_LoadResourceFile(void* handle, const char* path) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtEventLogger3_UnloadResourceFile(void* handle, const char* path) ZTPROXYC_NOEXCEPT;

/* ---- _IZtEventLoggerEvents, _IZtAlarmEvents: the outgoing interfaces ---------
 * Call an event method on an object that implements the event interface
 * (a sink; the library's own objects do not, so their handles give
 * E_NOINTERFACE). The message argument is queried for IZtMessage3, the alarm
 * arguments for IZtAlarm; both may be NULL. To receive events use
 * IZtEventLogger_AdviseCallbacks and IZtAlarm_AdviseCallbacks below. */
ZTPROXYC_API HRESULT _IZtEventLoggerEvents_ActiveAlarmListChanged(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT _IZtEventLoggerEvents_MessageSent(void* handle, void* message) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT _IZtEventLoggerEvents_AlarmRaised(void* handle, void* alarm) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT _IZtEventLoggerEvents_AlarmCleared(void* handle, void* alarm, char removed) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT _IZtEventLoggerEvents_AlarmConfirmed(void* handle, void* alarm, char removed) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT _IZtAlarmEvents_Raised(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT _IZtAlarmEvents_Cleared(void* handle) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT _IZtAlarmEvents_Confirmed(void* handle) ZTPROXYC_NOEXCEPT;

/* ---- live events -------------------------------------------------------------
 * A set of callbacks advised on a logger or an alarm. Every callback runs on
 * the logger's worker thread, one at a time, in the order the controller
 * reported the changes, and only while the logger is connected. Each object
 * handle a callback receives is registered for it: the callback (or the code
 * it hands the handle to) releases it with ReleaseHandle, also when it
 * ignores the event. removed is 1 when the alarm has just left the active
 * list. A NULL member skips that event. From inside a callback the host may
 * call any function of this library, including UnadviseCallbacks for its
 * own cookie and ReleaseHandle of the logger. Callbacks must not throw. */
typedef struct ZtEventLoggerCallbacks {
    void (*message_sent)(void* context, void* message);
    void (*alarm_raised)(void* context, void* alarm);
    void (*alarm_cleared)(void* context, void* alarm, char removed);
    void (*alarm_confirmed)(void* context, void* alarm, char removed);
} ZtEventLoggerCallbacks;

/* An alarm's own events: just before the logger's AlarmRaised, AlarmCleared
 * or AlarmConfirmed of the same alarm; alarm is a handle of it. */
typedef struct ZtAlarmCallbacks {
    void (*raised)(void* context, void* alarm);
    void (*cleared)(void* context, void* alarm);
    void (*confirmed)(void* context, void* alarm);
} ZtAlarmCallbacks;

/* Advises a copy of *callbacks with context on the logger (any IZtEventLogger
 * handle); *cookie receives the advise's cookie (never 0). E_INVALIDARG for a
 * NULL callbacks or cookie pointer. The logger holds the callbacks until
 * they are unadvised or the logger is destroyed. */
ZTPROXYC_API HRESULT IZtEventLogger_AdviseCallbacks(void* handle, const ZtEventLoggerCallbacks* callbacks,
                                                    void* context, unsigned int* cookie) ZTPROXYC_NOEXCEPT;
/* Ends an advise. When it returns no callback of that advise runs any more
 * on another thread, so context may be freed (a callback that unadvises its
 * own advise finishes its own call). CONNECT_E_NOCONNECTION for a cookie
 * that holds no advise. Do not call it while holding a lock that one of the
 * advise's callbacks takes. */
ZTPROXYC_API HRESULT IZtEventLogger_UnadviseCallbacks(void* handle, unsigned int cookie) ZTPROXYC_NOEXCEPT;
/* The same for an alarm's own events (any IZtAlarm handle). */
ZTPROXYC_API HRESULT IZtAlarm_AdviseCallbacks(void* handle, const ZtAlarmCallbacks* callbacks, void* context,
                                              unsigned int* cookie) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtAlarm_UnadviseCallbacks(void* handle, unsigned int cookie) ZTPROXYC_NOEXCEPT;

/* ---- IZtExportSettings: what a log read or export selects (settings object) --
 * The filter (get_Filter: a new filter handle holding a copy, *filter left as
 * it was when none is set; put_Filter copies, NULL removes it), at most
 * MaxCount events (0: no limit) and their order (ZtEventOrder). */
ZTPROXYC_API HRESULT IZtExportSettings_get_Filter(void* handle, void** filter) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtExportSettings_put_Filter(void* handle, void* filter) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtExportSettings_get_MaxCount(void* handle, unsigned int* maxCount) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtExportSettings_put_MaxCount(void* handle, unsigned int maxCount) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtExportSettings_get_Order(void* handle, ZtEventOrder* order) ZTPROXYC_NOEXCEPT;
ZTPROXYC_API HRESULT IZtExportSettings_put_Order(void* handle, ZtEventOrder order) ZTPROXYC_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ZT_EVENT_LOGGER_VDL_PROXY_C_H */
