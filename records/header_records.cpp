// The starting state of the suite's header records. Emptying a text sets its first byte only;
// every other byte keeps what it held.
#include <LyrUtil.h>

void InitAddress(ADDRESS_STRUCT* address) {
  if (address == nullptr) return;
  address->szLine1[0] = '\0';
  address->szLine2[0] = '\0';
  address->szLine3[0] = '\0';
  address->szText4[0] = '\0';
  address->szPostalCode[0] = '\0';
  address->szText6[0] = '\0';
  address->szText7[0] = '\0';
  address->szText8[0] = '\0';
}

void InitCompany(COMPANY_STRUCT* company) {
  if (company == nullptr) return;
  company->szName[0] = '\0';
  InitAddress(&company->address);
  company->szText3[0] = '\0';
}

void InitOperator(OPERATOR_STRUCT* op) {
  if (op == nullptr) return;
  op->szName[0] = '\0';
  op->szText2[0] = '\0';
  op->szText3[0] = '\0';
  op->szText4[0] = '\0';
  op->nValue5 = 1;
  op->nValue6 = 0;
  op->nValue7 = 1;
  InitCompany(&op->company);
}

void InitAnalysisHdr(ANALYSIS_SYS_HDR_STRUCT* header) {
  if (header == nullptr) return;
  header->szName[0] = '\0';
  header->szText2[0] = '\0';
  InitOperator(&header->analysisOperator);
  InitTimeStruct(&header->time4);
  InitTimeStruct(&header->time5);
  header->wValue6 = 0;
  header->wValue7 = 1;
}

void InitChromSys(CHROM_SYS_HDR_STRUCT* header) {
  if (header == nullptr) return;
  header->szName[0] = '\0';
  header->szText2[0] = '\0';
  header->szText3[0] = '\0';
  header->wValue4 = 0;
  header->wValue5 = 0;
}

void InitChromDev(CHROM_DEVICE_STRUCT* device) {
  if (device == nullptr) return;
  device->szName[0] = '\0';
  InitCompany(&device->company);
  device->szText3[0] = '\0';
  device->szText4[0] = '\0';
  device->szText5[0] = '\0';
  device->wValue6 = 17;
}
