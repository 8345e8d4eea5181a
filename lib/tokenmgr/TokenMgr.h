/* SPDX-License-Identifier: BSD-3-Clause */
/* Token manager library: the C call contract.
 *
 * Every function returns a 32-bit status, 0 = success; outputs are valid only with status 0.
 * Narrow strings are NUL-terminated text in the system code page, except the token label (UTF-8).
 * UTF-16 strings are NUL-terminated arrays of 16-bit code units.
 * A token is addressed by its slot: the zero-based index of token_connect after token_find.
 */
#ifndef QX_TOKENMGR_H
#define QX_TOKENMGR_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(TOKENMGR_BUILD)
#define TM_API __declspec(dllexport)
#else
#define TM_API __declspec(dllimport)
#endif
#else
#define TM_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
typedef char16_t tm_char16;
extern "C" {
#else
typedef uint_least16_t tm_char16;
#endif

typedef uint32_t tm_status;

/* Status codes. */
#define TM_OK 0x00000000u
#define TM_ERR_NOT_LOGGED_IN 0x00000003u    /* the change needs a user login */
#define TM_ERR_DEVICE 0x0A000001u           /* writing to the token failed */
#define TM_ERR_ARGUMENTS 0x0A000006u        /* null pointer, bad length, KeySpec, PIN type or record */
#define TM_ERR_BUFFER_TOO_SMALL 0x0A000020u /* the caller's buffer cannot hold the result */
#define TM_ERR_TOKEN_REMOVED 0x0A000023u    /* the token was pulled out; find and connect again */
#define TM_ERR_PIN_INCORRECT 0x0A000024u
#define TM_ERR_PIN_LOCKED 0x0A000025u
#define TM_ERR_PIN_LEN_RANGE 0x0A000027u
#define TM_ERR_NO_SPACE 0x0A000030u         /* no room left on the token */
#define TM_ERR_CERT_TOO_LARGE 0x0A000031u   /* a certificate over 16384 bytes: no token object holds it */
#define TM_ERR_FINGER 0x0B000040u           /* empty PIN: no finger, or a finger that did not match */
#define TM_ERR_NOT_READY 0x0A000101u        /* init_pkcs11 has not run */
#define TM_ERR_UNKNOWN_MODULE 0x0A000102u   /* the module name selects no backend */
#define TM_ERR_SLOT 0x0A000103u             /* no connected token in that slot */
#define TM_ERR_TOKEN_FAILING 0x0A000104u    /* the token's data could not be read back intact */
#define TM_ERR_NOT_INITIALIZED 0x0A000105u  /* the token has not been initialized */
#define TM_ERR_NO_SENSOR 0x0A000106u        /* empty PIN on a token without a fingerprint sensor */
#define TM_ERR_SO_NOT_LOGGED_IN 0x0A000107u /* formatting an initialized token needs token_login_so first */
#define TM_ERR_NOT_FOUND 0x0A000108u        /* no such container, certificate, key or virtual token */
#define TM_ERR_EXISTS 0x0A000109u           /* the container or the certificate is already there */
#define TM_ERR_NAME 0x0A00010Au             /* empty or over-long container name */
#define TM_ERR_FILE_OPEN 0x0A000110u        /* the file cannot be read */
#define TM_ERR_FILE_FORMAT 0x0A000111u      /* not a certificate file of the expected kind */
#define TM_ERR_PASSWORD 0x0A000112u         /* wrong PKCS#12 password */
#define TM_ERR_NO_FILE 0x0A000113u          /* no file was parsed before */
#define TM_ERR_INDEX 0x0A000114u            /* certificate index out of range */
#define TM_ERR_CERTIFICATE 0x0A000115u      /* the bytes are not a certificate */
#define TM_ERR_STORE 0x0A000120u            /* the certificate store cannot be read or written */
#define TM_ERR_RANGE 0x0A000121u            /* sectors beyond the CD-ROM partition */
#define TM_ERR_NO_CHALLENGE 0x0A000122u     /* no challenge was issued */
#define TM_ERR_RESPONSE 0x0A000123u         /* wrong or over-long unlock response */
#define TM_ERR_NO_UI 0x0A000124u            /* no viewer library beside this one */
#define TM_ERR_BUSY 0x0A000125u             /* another program kept the token busy; try again */
#define TM_ERR_NOT_SUPPORTED 0x0A000126u    /* the token's PKCS#11 module has no way to do this */

/* Tries left or maximum tries that the token does not tell (PKCS#11 reports only "locked", "final try"
 * and "count low"). */
#define TM_RETRIES_UNKNOWN (-1)
/* token_get_info_ex: total or free memory the token does not report (most PKCS#11 tokens). */
#define TM_MEMORY_UNKNOWN (-1)

/* Fixed capacities of the caller buffers the contract leaves without a length. */
#define TM_SERIAL_SIZE 33         /* token_get_info_ex: serial number */
#define TM_LABEL_SIZE 129         /* token_get_info_ex: label, UTF-8 */
#define TM_MANUFACTURER_SIZE 65   /* token_get_info_ex: manufacturer */
#define TM_MODEL_SIZE 65          /* token_get_info_ex: model */
#define TM_LABEL_FIELD_SIZE 64    /* token_set_label: label field, NUL-padded when shorter */
#define TM_FORMAT_RECORD_SIZE 166 /* token_format: initialization parameter record */
#define TM_SECTOR_SIZE 2048       /* token_write_sectors */
#define TM_CHALLENGE_SIZE 32      /* token_get_challenge: buffer; the challenge fills its first 8 bytes */
#define TM_CHALLENGE_BYTES 8
#define TM_RESPONSE_MAX 64         /* token_remote_unlock_upin: longest response */
#define TM_UNLOCK_RESPONSE_BYTES 8 /* token_unlock_response: the response it writes */
#define TM_CERT_TEXT_SIZE 257      /* certificate texts: narrow bytes or UTF-16 units */
#define TM_MAX_SLOTS 32

/* KeySpec values, key types, certificate kinds and PIN types. */
#define TM_KEYSPEC_EXCHANGE 1
#define TM_KEYSPEC_SIGNATURE 2
#define TM_KEYTYPE_RSA 0
#define TM_KEYTYPE_EC 3
#define TM_CERT_END_ENTITY 0
#define TM_CERT_ROOT 1
#define TM_CERT_CA 2
#define TM_PIN_SO 0
#define TM_PIN_USER 1

/* token_get_features: what a token can do beyond the calls every token answers. */
#define TM_FEATURE_SET_LABEL 0x01u     /* token_set_label without re-initializing the token */
#define TM_FEATURE_REMOTE_UNLOCK 0x02u /* token_get_challenge and token_remote_unlock_upin */
#define TM_FEATURE_SECTORS 0x04u       /* token_write_sectors (a CD-ROM partition may still be absent) */
#define TM_FEATURE_EXACT_RETRIES 0x08u /* tries left are always known, never TM_RETRIES_UNKNOWN */

/* Date record: only the first three values are meaningful to callers. */
typedef struct tm_date
{
    int32_t year;
    int32_t month; /* 1..12 */
    int32_t day;   /* 1..31 */
    int32_t hour;
    int32_t minute;
    int32_t second;
    int32_t weekday; /* 0 = Sunday */
    int32_t yearday; /* 0..365 */
    int32_t reserved;
} tm_date;

/* Library */
/* module: the PKCS#11 module name; it chooses the backend. The default names "q7sec_pkcs11.dll",
 * "q7sec_pkcs11.so", "libq7sec_pkcs11.so", "virtual" and the empty name (any letter case) select the
 * virtual tokens in $QX4100_TOKEN_STORE (else the XDG data home's Vostrel/QX4100/tokens); any other
 * name or path is loaded as a PKCS#11 module, and one that cannot be loaded or initialized answers
 * TM_ERR_UNKNOWN_MODULE. On a PKCS#11 module, tries left read TM_RETRIES_UNKNOWN unless the token
 * reports the PIN locked (0) or on its final try (1); label change, sector writes, challenge and remote
 * unlock answer TM_ERR_NOT_SUPPORTED. A second init_pkcs11 with the module in use succeeds. */
TM_API tm_status init_pkcs11(const char* module);
TM_API tm_status init_pkcs11_ex(const char* text1, const char* text2, const char* text3, const char* module);
TM_API tm_status uninit_pkcs11(void);

/* Tokens */
/* count: in = capacity of ids, out = number of tokens found (at most the capacity is written). */
TM_API tm_status token_find(uint32_t* ids, int32_t* count);
TM_API tm_status token_connect(int32_t index);
/* Texts are written NUL-terminated within TM_SERIAL_SIZE, TM_LABEL_SIZE, TM_MANUFACTURER_SIZE, TM_MODEL_SIZE.
 */
TM_API tm_status token_get_info_ex(int32_t slot, char* serial, char* label, char* manufacturer, char* model,
                                   int32_t* maxPinLen, int32_t* minPinLen, int32_t* maxSoPinLen,
                                   int32_t* minSoPinLen, int32_t* totalMemory, int32_t* freeMemory,
                                   int32_t* hardwareVersion, int32_t* firmwareVersion, int32_t* initialized,
                                   int32_t* fingerSupport);
TM_API tm_status token_reload_all_objects(int32_t slot);
/* features: the TM_FEATURE_ bits of the token in that slot. A call outside them answers
 * TM_ERR_NOT_SUPPORTED, so a caller can disable it beforehand instead of failing afterwards. */
TM_API tm_status token_get_features(int32_t slot, uint32_t* features);
/* label: a TM_LABEL_FIELD_SIZE-byte UTF-8 field; read up to its first NUL or its end. */
TM_API tm_status token_set_label(int32_t slot, const char* label);
/* params: the TM_FORMAT_RECORD_SIZE-byte initialization parameter record. Wipes the token's containers.
 * An initialized token is formatted only after token_login_so succeeded on this connection
 * (token_logout does not withdraw that; formatting does). */
TM_API tm_status token_format(int32_t slot, const unsigned char* params);
/* data: count * TM_SECTOR_SIZE bytes. */
TM_API tm_status token_write_sectors(int32_t slot, int32_t first, int32_t count, const unsigned char* data);

/* PINs. A failed login writes the tries left (0 = locked; a locked PIN refuses even the right one); a
 * successful one resets them. An empty PIN on a token with a fingerprint sensor verifies a finger instead
 * (TM_ERR_FINGER when none matches); on any other token it is refused without costing a try. */
TM_API tm_status token_login(int32_t slot, const char* pin, int32_t* retries);
TM_API tm_status token_logout(int32_t slot);
/* pinType: TM_PIN_SO or TM_PIN_USER. Outputs: tries left, maximum tries, minimum length, maximum length,
 * locked (1 = locked), logged in with this PIN (1 = yes). */
TM_API tm_status token_get_pin_state(int32_t slot, int32_t pinType, int32_t* retriesLeft, int32_t* maxRetries,
                                     int32_t* minLength, int32_t* maxLength, int32_t* locked,
                                     int32_t* loggedIn);
TM_API tm_status token_change_upin(int32_t slot, const char* oldPin, const char* newPin);
TM_API tm_status token_change_sopin(int32_t slot, const char* oldPin, const char* newPin);
TM_API tm_status token_login_so(int32_t slot, const char* pin, int32_t* retries);
TM_API tm_status token_set_upin(int32_t slot, const char* soPin, const char* userPin);
/* buffer: TM_CHALLENGE_SIZE bytes; the challenge is its first TM_CHALLENGE_BYTES bytes, the rest is zeroed.
 */
TM_API tm_status token_get_challenge(int32_t slot, unsigned char* buffer);
TM_API tm_status token_remote_unlock_upin(int32_t slot, const unsigned char* response, int32_t length);
/* The administrator's side of remote unlock: the response that unlocks the user PIN of the token with
 * that serial for the TM_CHALLENGE_BYTES-byte challenge it issued, written to the TM_UNLOCK_RESPONSE_BYTES-
 * byte response buffer. Only the library's own virtual tokens keep their unlock key where it can be read,
 * so the token need not be connected or plugged in. TM_ERR_NOT_FOUND: no virtual token has that serial;
 * TM_ERR_NOT_SUPPORTED: the tokens come from a PKCS#11 module, whose tokens' issuer computes responses. */
TM_API tm_status token_unlock_response(const char* serial, const unsigned char* challenge,
                                       unsigned char* response);

/* Containers */
/* buffer: NUL-terminated names one after another; length: in = capacity, out = bytes used. */
TM_API tm_status container_load_all(int32_t slot, char* buffer, int32_t* length);
TM_API tm_status container_create_new(int32_t slot, const char* name);
TM_API tm_status container_delete(int32_t slot, const char* name);
/* length: in = capacity of buffer, out = DER length. */
TM_API tm_status container_get_cert(int32_t slot, const char* name, int32_t keySpec, unsigned char* buffer,
                                    int32_t* length);
/* blob: the public key's value as a token hands it out, not a DER structure: for RSA the modulus,
 * big-endian, keyBits/8 bytes (256 for RSA 2048, 512 for RSA 4096); for EC the uncompressed point
 * 04 || X || Y (65 bytes for P-256, 97 for P-384, 133 for P-521); for other key types the DER
 * SubjectPublicKeyInfo. length: in = capacity, out = bytes; a capacity too small gives
 * TM_ERR_BUFFER_TOO_SMALL with the needed length in *length. */
TM_API tm_status container_get_pubkey(int32_t slot, const char* name, int32_t keySpec, int32_t* keyType,
                                      int32_t* keyBits, unsigned char* blob, int32_t* length);
/* keyBits: the private key's size in bits. The key itself never leaves the token. */
TM_API tm_status container_get_prikey(int32_t slot, const char* name, int32_t keySpec, int32_t* keyType,
                                      int32_t* keyBits);
TM_API tm_status container_delete_cert(int32_t slot, const char* name, int32_t keySpec);

/* Certificate files. The last parsed file of each kind is kept until the next parse or uninit_pkcs11. */
TM_API tm_status pkcs12_file_parse(const char* path, const char* password, int32_t* count);
TM_API tm_status p7b_file_parse(const char* path, int32_t* count);
/* subject, issuer: TM_CERT_TEXT_SIZE-byte narrow buffers (may be null). */
TM_API tm_status pkcs12_file_get_certinfo(int32_t index, char* subject, char* issuer, int32_t* kind);
TM_API tm_status p7b_file_get_certinfo(int32_t index, char* subject, char* issuer, int32_t* kind);
TM_API tm_status pkcs12_import_certificate(int32_t slot, const char* container, int32_t keySpec,
                                           int32_t index);
TM_API tm_status p7b_import_certificate(int32_t slot, const char* container, int32_t keySpec, int32_t index);
TM_API tm_status x509_import_certificate(int32_t slot, const char* container, int32_t keySpec,
                                         const char* path);

/* Certificate stores and helpers */
TM_API tm_status container_addcert_to_store(const char* container, const char* provider, int32_t keySpec,
                                            const unsigned char* data, int32_t length);
TM_API tm_status helper_add_root_cert_to_store(const tm_char16* store, const unsigned char* data,
                                               int32_t length);
TM_API tm_status remove_all_certs_from_store(const char* provider);
/* subject, issuer: TM_CERT_TEXT_SIZE UTF-16 units; serial: TM_CERT_TEXT_SIZE bytes (upper-case hex). */
TM_API tm_status helper_get_cert_info2(const unsigned char* data, int32_t length, tm_char16* subject,
                                       tm_char16* issuer, int32_t* version, char* serial, tm_date* validFrom,
                                       tm_date* validTo, int32_t* kind);
/* window: the owner's native window id (0 = none); the viewer is modal to it. The library has no user
 * interface of its own: bytes that are one DER certificate are handed to the function TM_UI_ENTRY of a
 * viewer library TM_UI_LIBRARY installed in the library's own folder, with the same arguments and
 * result; without one the answer is TM_ERR_NO_UI. */
#define TM_UI_LIBRARY "libTokenMgrUi.so"
#define TM_UI_ENTRY "tmui_show_cert"
TM_API tm_status helper_show_cert_ui(uintptr_t window, const unsigned char* data, int32_t length);

#ifdef __cplusplus
}
#endif

#endif
