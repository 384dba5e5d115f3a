// Parameter files: a plain text list of parameter settings.
//
//     % comments run from '%' to the end of the line
//     BEGIN
//       VLT_IPAR_LOG                   10
//       VLT_IPAR_OPTIMIZER             VLT_OPTIMIZER_INTPNT
//       VLT_DPAR_OPTIMIZER_MAX_TIME    100.0
//       VLT_SPAR_DATA_FILE_NAME        "model data.mps"
//     END
//
// One "NAME VALUE" per line between the BEGIN and END lines; names and
// symbolic values are matched without regard to case, and the value is
// written as parse_int_value / parse_dou_value read it.  A value may be
// quoted with double quotes, which it must be when it holds blanks or '%';
// inside quotes \" is a quote, \\ a backslash and \n a line break, and any
// other backslash stands for itself.  Outside BEGIN ... END only blank and
// comment lines may appear.
//
// Reading is all or nothing: on an error the values are left as they were.
// Errors throw vlt::Error whose message starts with "<source>:<line>: ":
// VLT_RES_ERR_FILE_FORMAT for a malformed file, VLT_RES_ERR_PARAM_NAME and
// VLT_RES_ERR_PARAM_VALUE for an unknown name or a bad value.  When
// VLT_IPAR_PARAM_READ_IGN_ERROR is on (in the values before reading), lines
// with an unknown name or a bad value are skipped instead, and their messages
// are returned.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "params/param_table.hpp"

namespace vlt::params {

// Apply the settings in text (named source in messages) to values; returns
// the messages of skipped lines.
std::vector<std::string> read_params(std::string_view text, ParamValues& values, std::string_view source);

// The same for a file.  A file that cannot be opened or read throws
// VLT_RES_ERR_FILE_OPEN or VLT_RES_ERR_FILE_READ and changes nothing.
std::vector<std::string> read_param_file(const std::string& path, ParamValues& values);

// The remote settings: where a task is solved and how it gets there
// (VLT_SPAR_REMOTE_OPTSERVER_HOST, whose address may carry the access token,
// VLT_SPAR_REMOTE_TLS_CERT, VLT_SPAR_REMOTE_TLS_CERT_PATH,
// VLT_IPAR_REMOTE_USE_COMPRESSION, VLT_DPAR_REMOTE_TIMEOUT).  Data files
// (task, JSON, PTF, OPF) neither write nor apply them, so that a file cannot
// redirect where a problem is solved nor carry credentials; a parameter file,
// read on the caller's explicit request, sets them.
bool is_remote_setting(const ParamRef& param);
bool is_remote_setting(std::string_view name);

// An optimization server's address without the access token of its user
// part ("http://TOKEN@host:8080/x" gives "http://host:8080/x").
std::string without_access_token(std::string_view address);

// Every parameter, or only those that differ from their defaults, in the
// format above; reading the text into default values gives back the values.
std::string write_params(const ParamValues& values, bool changed_only = false);

// Throws VLT_RES_ERR_FILE_OPEN or VLT_RES_ERR_FILE_WRITE on failure.
// Written parameter files never hold an access token: the address in
// VLT_SPAR_REMOTE_OPTSERVER_HOST is written without its user part.
void write_param_file(const std::string& path, const ParamValues& values, bool changed_only = false);

}  // namespace vlt::params
