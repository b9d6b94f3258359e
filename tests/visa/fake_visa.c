/* A stand-in vendor VISA library for tests: one instrument, "GPIB0::17::INSTR",
   that answers "*IDN?" and echoes every other message it receives. Reads
   honour the termination character when it is enabled; a read with nothing
   queued times out. The last attribute values set are readable through
   fakeVisaAttribute, so that tests can check what the backend asked for. */
#include <stdint.h>
#include <string.h>

typedef int32_t ViStatus;
typedef uint32_t ViSession;

#define VI_SUCCESS 0
#define VI_SUCCESS_TERM_CHAR 0x3FFF0005
#define VI_SUCCESS_MAX_CNT 0x3FFF0006
#define VI_ERROR_RSRC_NFOUND ((ViStatus)0xBFFF0011)
#define VI_ERROR_TMO ((ViStatus)0xBFFF0015)

#define ATTR_SEND_END_EN 0x3FFF0016u
#define ATTR_TERMCHAR 0x3FFF0018u
#define ATTR_TMO_VALUE 0x3FFF001Au
#define ATTR_TERMCHAR_EN 0x3FFF0038u

static char queued[4096];
static size_t queuedLength;
static uintptr_t termChar = '\n', termCharEnabled, sendEnd = 1, timeoutValue = 2000;
static int clears, triggers;

uintptr_t fakeVisaAttribute(uint32_t attribute) {
    switch (attribute) {
        case ATTR_SEND_END_EN:
            return sendEnd;
        case ATTR_TERMCHAR:
            return termChar;
        case ATTR_TMO_VALUE:
            return timeoutValue;
        case ATTR_TERMCHAR_EN:
            return termCharEnabled;
        default:
            return (uintptr_t)-1;
    }
}

int fakeVisaClears(void) { return clears; }

ViStatus viOpenDefaultRM(ViSession* rm) {
    *rm = 1;
    return VI_SUCCESS;
}

ViStatus viOpen(ViSession rm, const char* name, uint32_t mode, uint32_t timeout, ViSession* vi) {
    (void)rm, (void)mode, (void)timeout;
    if (strcmp(name, "GPIB0::17::INSTR") != 0) return VI_ERROR_RSRC_NFOUND;
    queuedLength = 0;
    *vi = 2;
    return VI_SUCCESS;
}

ViStatus viClose(ViSession object) {
    (void)object;
    return VI_SUCCESS;
}

ViStatus viWrite(ViSession vi, const char* buffer, uint32_t count, uint32_t* written) {
    (void)vi;
    const char* reply = buffer;
    size_t length = count;
    if (count == 6 && memcmp(buffer, "*IDN?\n", 6) == 0) {
        reply = "ZT,FAKEVISA\n";
        length = 12;
    }
    if (queuedLength + length > sizeof queued) length = sizeof queued - queuedLength;
    memcpy(queued + queuedLength, reply, length);
    queuedLength += length;
    *written = count;
    return VI_SUCCESS;
}

ViStatus viRead(ViSession vi, unsigned char* buffer, uint32_t count, uint32_t* got) {
    (void)vi;
    *got = 0;
    if (queuedLength == 0) return VI_ERROR_TMO;
    size_t length = queuedLength < count ? queuedLength : count;
    ViStatus status = length == queuedLength ? VI_SUCCESS : VI_SUCCESS_MAX_CNT;
    if (termCharEnabled) {
        const char* at = memchr(queued, (int)termChar, length);
        if (at != NULL) {
            length = (size_t)(at - queued) + 1;
            status = VI_SUCCESS_TERM_CHAR;
        }
    }
    memcpy(buffer, queued, length);
    memmove(queued, queued + length, queuedLength - length);
    queuedLength -= length;
    *got = (uint32_t)length;
    return status;
}

ViStatus viClear(ViSession vi) {
    (void)vi;
    ++clears;
    queuedLength = 0;
    return VI_SUCCESS;
}

ViStatus viReadSTB(ViSession vi, uint16_t* status) {
    (void)vi;
    *status = 0x50;
    return VI_SUCCESS;
}

ViStatus viAssertTrigger(ViSession vi, uint16_t protocol) {
    (void)vi, (void)protocol;
    ++triggers;
    return VI_SUCCESS;
}

ViStatus viSetAttribute(ViSession vi, uint32_t attribute, uintptr_t value) {
    (void)vi;
    switch (attribute) {
        case ATTR_SEND_END_EN:
            sendEnd = value;
            break;
        case ATTR_TERMCHAR:
            termChar = value;
            break;
        case ATTR_TMO_VALUE:
            timeoutValue = value;
            break;
        case ATTR_TERMCHAR_EN:
            termCharEnabled = value;
            break;
        default:
            break;
    }
    return VI_SUCCESS;
}

ViStatus viStatusDesc(ViSession vi, ViStatus status, char description[256]) {
    (void)vi;
    if (status == VI_ERROR_RSRC_NFOUND) {
        strcpy(description, "Fake VISA: resource not found.");
    } else {
        description[0] = '\0';
    }
    return VI_SUCCESS;
}
