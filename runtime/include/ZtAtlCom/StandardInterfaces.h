/*
 * StandardInterfaces.h - the published enumeration and connection-point
 * interfaces, with their ids.
 *
 * Every list the library hands out is enumerated through IEnumVARIANT; event
 * sources (the event logger, each alarm) expose IConnectionPointContainer,
 * whose connection point accepts the host's sinks. The method order of each
 * interface is the published one; a host implements none of them, it only
 * calls them. Whoever receives an interface pointer owns one reference.
 */
#ifndef ZT_ATLCOM_STANDARD_INTERFACES_H
#define ZT_ATLCOM_STANDARD_INTERFACES_H

#include "ZtAtlCom/Variant.h"

namespace ZtAtlCom {

/* Enumerates VARIANTs (the items of a collection, as VT_DISPATCH).
 * Next: fills up to celt VARIANTs; pceltFetched may be null only when celt
 * is 1; S_FALSE when fewer than celt were left. Skip: S_FALSE when the end
 * came first. Clone: a new enumerator at the same position. */
struct IEnumVARIANT : IUnknown {
    virtual HRESULT Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) = 0;
    virtual HRESULT Skip(ULONG celt) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumVARIANT** ppEnum) = 0;
};
ZT_DECLARE_IID(IEnumVARIANT, "00020404-0000-0000-C000-000000000046")

struct IConnectionPoint;
struct IConnectionPointContainer;

// One advised sink: its pointer (one reference, which the receiver of the
// record releases) and its cookie.
struct CONNECTDATA {
    IUnknown* pUnk;
    DWORD dwCookie;
};
using LPCONNECTDATA = CONNECTDATA*;

// Enumerates the sinks advised on one connection point (as Next hands them
// out, each record's pUnk carries a reference for the caller).
struct IEnumConnections : IUnknown {
    virtual HRESULT Next(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) = 0;
    virtual HRESULT Skip(ULONG cConnections) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnections** ppEnum) = 0;
};
ZT_DECLARE_IID(IEnumConnections, "B196B287-BAB4-101A-B69C-00AA00341D07")

// Enumerates the connection points of a container (each with a reference).
struct IEnumConnectionPoints : IUnknown {
    virtual HRESULT Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) = 0;
    virtual HRESULT Skip(ULONG cConnections) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnectionPoints** ppEnum) = 0;
};
ZT_DECLARE_IID(IEnumConnectionPoints, "B196B285-BAB4-101A-B69C-00AA00341D07")

/* One outgoing interface of an event source.
 * Advise: the sink must answer the outgoing interface (else
 * CONNECT_E_CANNOTCONNECT); *pdwCookie receives the connection's cookie
 * (never 0). Unadvise: CONNECT_E_NOCONNECTION for a cookie that holds no
 * sink. Sinks are called on the thread that fires the event; they may advise
 * and unadvise from inside the call. */
struct IConnectionPoint : IUnknown {
    virtual HRESULT GetConnectionInterface(IID* pIID) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
    virtual HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
    virtual HRESULT Unadvise(DWORD dwCookie) = 0;
    virtual HRESULT EnumConnections(IEnumConnections** ppEnum) = 0;
};
ZT_DECLARE_IID(IConnectionPoint, "B196B286-BAB4-101A-B69C-00AA00341D07")

// The event source: finds its connection point by outgoing interface id
// (CONNECT_E_NOCONNECTION when it has none for that id).
struct IConnectionPointContainer : IUnknown {
    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
    virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;
};
ZT_DECLARE_IID(IConnectionPointContainer, "B196B284-BAB4-101A-B69C-00AA00341D07")

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_STANDARD_INTERFACES_H
