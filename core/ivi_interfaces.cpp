#include "zentrava/ivi.h"

// The IVI inherent interfaces share one GUID family; IIviDriver's is the one
// IVI-C sessions ask for.
const IID IID_IIviComponentIdentity = GuidLiteral("{47ed5185-a398-11d4-ba58-000064657374}");
const IID IID_IIviDriverIdentity = GuidLiteral("{47ed5186-a398-11d4-ba58-000064657374}");
const IID IID_IIviDriverOperation = GuidLiteral("{47ed5187-a398-11d4-ba58-000064657374}");
const IID IID_IIviDriverUtility = GuidLiteral("{47ed5188-a398-11d4-ba58-000064657374}");
const IID IID_IIviDriver = GuidLiteral("{47ed5184-a398-11d4-ba58-000064657374}");
const IID IID_IIviClassWrapper = GuidLiteral("{47ed5189-a398-11d4-ba58-000064657374}");
