#include "suitemodel/SuiteModelBuilder.h"

void AddParcelToTransaction(ISuiteModelBuilder& model, CParcel& parcel)
{
    if (CTransaction* open = model.OpenTransaction()) {
        open->AddParcel(parcel);
        return;
    }
    // A parcel outside any Transaction element runs in a group of its own.
    CTransaction& implicit = model.AddTransaction(std::make_unique<CTransaction>(false));
    implicit.AddParcel(parcel);
}

void ResolveTransactionModes(ISuiteModelBuilder& model)
{
    for (CTransaction* transaction : model.Transactions()) {
        bool all = true;
        for (CParcel* parcel : transaction->Parcels()) {
            CParcelHandler* handler = parcel->Handler();
            if (!handler || !handler->SupportsTransaction()) {
                all = false;
                break;
            }
        }
        transaction->SetMsiTransaction(all);
    }
}

CAbortCondition& NewAbortCondition(ISuiteModelBuilder& model)
{
    return model.AddAbortCondition(std::make_unique<CAbortCondition>());
}
