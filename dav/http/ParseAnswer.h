#pragma once
// The one rule for reading the answer to a request whose body is parsed.
#include "foundation/ResultCodes.h"

#include "dav/http/RWebDAVConnection.h"

// A failed request gives its `result`; a successful one gives parse(body) of its answer, or
// `result` itself when the answer brought no body.
template <typename Parse>
RResult ParseAnswer(RWebDAVConnection& connection, RResult result, Parse parse) {
    if (!RSucceeded(result)) return result;
    RHeapBuffer* body = connection.ReadResponse();
    return body != nullptr ? parse(body->data) : result;
}
