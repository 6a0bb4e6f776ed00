// SMTP sending's big-attachment step: with a file server configured, the
// mail's big attachments are uploaded and replaced by the download box
// (UploadBigAttachment); without one they stay in the mail, and the status
// line says why (not an error: the mail still goes, only larger).
#pragma once

#include <functional>
#include <string>

#include "Business/Http/HttpRequest.h"
#include "Business/Server/Mail/SendMessageToSmtpRunable.h"

// aServerAddress gives the file server's address (default: the
// configuration's); aOptions tune the uploads' connections (tests: short
// timeouts).
TRcSendMessageToSmtpRunable::TBigAttachmentStep BigAttachmentSendStep(std::function<std::string()> aServerAddress = {},
                                                                      THttpOptions aOptions = {});
