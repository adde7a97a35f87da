# The pinned server certificate. Without ZM_SERVER_CERT a development certificate and key
# for localhost are generated once into the build tree; zmsgd and the tests use the same pair.
# A second, unrelated certificate lets the tests check that a foreign one is refused.
set(ZM_CERT_DIR "${CMAKE_BINARY_DIR}/certs")
file(MAKE_DIRECTORY "${ZM_CERT_DIR}")

find_program(OPENSSL_EXECUTABLE openssl REQUIRED)

function(zm_generate_certificate name cn)
    if(NOT EXISTS "${ZM_CERT_DIR}/${name}.pem" OR NOT EXISTS "${ZM_CERT_DIR}/${name}.key")
        execute_process(
            COMMAND ${OPENSSL_EXECUTABLE} req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650
                    -subj "/CN=${cn}" -addext "subjectAltName=DNS:${cn},IP:127.0.0.1"
                    -keyout "${ZM_CERT_DIR}/${name}.key" -out "${ZM_CERT_DIR}/${name}.pem"
            RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "openssl could not generate the ${name} certificate")
        endif()
    endif()
endfunction()

if(ZM_SERVER_CERT)
    set(ZM_PINNED_CERT "${ZM_SERVER_CERT}")
    set(ZM_DEV_KEY "")
else()
    zm_generate_certificate(dev "${ZM_SERVER_HOST}")
    set(ZM_PINNED_CERT "${ZM_CERT_DIR}/dev.pem")
    set(ZM_DEV_KEY "${ZM_CERT_DIR}/dev.key")
endif()
zm_generate_certificate(foreign "${ZM_SERVER_HOST}")
