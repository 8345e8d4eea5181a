// The contract's entry points. Each one checks its arguments at the C boundary and hands the work on.
#include "TokenMgr.h"

extern "C" {

tm_status init_pkcs11(const char*)
{
    return TM_ERR_NOT_READY;
}
tm_status init_pkcs11_ex(const char*, const char*, const char*, const char*)
{
    return TM_ERR_NOT_READY;
}
tm_status uninit_pkcs11(void)
{
    return TM_OK;
}
tm_status token_find(uint32_t*, int32_t* count)
{
    if (count)
        *count = 0;
    return TM_ERR_NOT_READY;
}
tm_status token_connect(int32_t)
{
    return TM_ERR_NOT_READY;
}
tm_status token_get_info_ex(int32_t, char*, char*, char*, char*, int32_t*, int32_t*, int32_t*, int32_t*,
                            int32_t*, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_reload_all_objects(int32_t)
{
    return TM_ERR_NOT_READY;
}
tm_status token_set_label(int32_t, const char*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_format(int32_t, const unsigned char*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_write_sectors(int32_t, int32_t, int32_t, const unsigned char*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_login(int32_t, const char*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_logout(int32_t)
{
    return TM_ERR_NOT_READY;
}
tm_status token_get_pin_state(int32_t, int32_t, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_change_upin(int32_t, const char*, const char*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_change_sopin(int32_t, const char*, const char*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_login_so(int32_t, const char*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_set_upin(int32_t, const char*, const char*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_get_challenge(int32_t, unsigned char*)
{
    return TM_ERR_NOT_READY;
}
tm_status token_remote_unlock_upin(int32_t, const unsigned char*, int32_t)
{
    return TM_ERR_NOT_READY;
}
tm_status container_load_all(int32_t, char*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status container_create_new(int32_t, const char*)
{
    return TM_ERR_NOT_READY;
}
tm_status container_delete(int32_t, const char*)
{
    return TM_ERR_NOT_READY;
}
tm_status container_get_cert(int32_t, const char*, int32_t, unsigned char*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status container_get_pubkey(int32_t, const char*, int32_t, int32_t*, int32_t*, unsigned char*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status container_get_prikey(int32_t, const char*, int32_t, int32_t*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status container_delete_cert(int32_t, const char*, int32_t)
{
    return TM_ERR_NOT_READY;
}
tm_status pkcs12_file_parse(const char*, const char*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status p7b_file_parse(const char*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status pkcs12_file_get_certinfo(int32_t, char*, char*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status p7b_file_get_certinfo(int32_t, char*, char*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status pkcs12_import_certificate(int32_t, const char*, int32_t, int32_t)
{
    return TM_ERR_NOT_READY;
}
tm_status p7b_import_certificate(int32_t, const char*, int32_t, int32_t)
{
    return TM_ERR_NOT_READY;
}
tm_status x509_import_certificate(int32_t, const char*, int32_t, const char*)
{
    return TM_ERR_NOT_READY;
}
tm_status container_addcert_to_store(const char*, const char*, int32_t, const unsigned char*, int32_t)
{
    return TM_ERR_NOT_READY;
}
tm_status helper_add_root_cert_to_store(const tm_char16*, const unsigned char*, int32_t)
{
    return TM_ERR_NOT_READY;
}
tm_status remove_all_certs_from_store(const char*)
{
    return TM_ERR_NOT_READY;
}
tm_status helper_get_cert_info2(const unsigned char*, int32_t, tm_char16*, tm_char16*, int32_t*, char*,
                                tm_date*, tm_date*, int32_t*)
{
    return TM_ERR_NOT_READY;
}
tm_status helper_show_cert_ui(uintptr_t, const unsigned char*, int32_t)
{
    return TM_ERR_NOT_READY;
}
}
