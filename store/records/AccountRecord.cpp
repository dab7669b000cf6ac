#include "store/records/AccountRecord.h"

void AccountRecord::Clear() {
    *this = AccountRecord();
}
