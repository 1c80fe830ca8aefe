// Library entry of libZtEventLoggerVdlProxyC_2.1. The handle registry and the
// C functions join here as the binding is built.
