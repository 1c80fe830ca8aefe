// IZtFilterExpressionSource.h - how the library reads the expression of a
// filter object it made (groups, put_Filter). Never handed to hosts; its id
// is known only here, so a filter from elsewhere simply lacks it.
#ifndef ZT_IZT_FILTER_EXPRESSION_SOURCE_H
#define ZT_IZT_FILTER_EXPRESSION_SOURCE_H

#include "FilterExpression.h"

#include "ZtAtlCom/Unknown.h"

#include <memory>

namespace ZtEventLoggerVdlFilter {

struct IZtFilterExpressionSource : ZtAtlCom::IUnknown {
    // A copy of the current expression, taken under the object's lock.
    virtual ZtAtlCom::HRESULT GetExpression(std::shared_ptr<const FilterExpression>* expression) = 0;
};
ZT_DECLARE_IID(IZtFilterExpressionSource, "32C3F9D1-9ADB-461A-9BE9-707A884F227B")

/* The expression of filter, copied: E_POINTER for a null filter,
 * E_INVALIDARG for one this library did not make. */
ZtAtlCom::HRESULT CopyExpressionOf(ZtAtlCom::IUnknown* filter, std::shared_ptr<const FilterExpression>* expression);

}  // namespace ZtEventLoggerVdlFilter

#endif  // ZT_IZT_FILTER_EXPRESSION_SOURCE_H
