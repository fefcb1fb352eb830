#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

// When two addresses are the same address: exactly when a browser would
// open them as the same URL. Every place that asks "is this address saved
// already" (the hint under the address boxes, Find's look-ups, the import's
// skips) compares identities, never the texts: what is stored stays as the
// user typed it.
//
// The identity is the address as a browser writes it after reading it (the
// URL standard's parsing and serialisation, which Firefox and Chromium
// follow), worked out from the address as Wayfile stores it (StoredAddress)
// and opens it (AddressToOpen: no "http://" or "https://" of its own means
// "http://"). So the scheme is always http or https, and a browser's rules
// for them are the ones that apply:
//
//   part       | rule                                     | same address
//   -----------+------------------------------------------+------------------------------------
//   blanks     | outer blanks dropped; nothing left: ""   | " a.example " = "a.example"
//   scheme     | lower case; "http" and "https" differ    | "HTTP://a.example" = "a.example"
//   slashes    | any more "/" or "\" after "//" skipped   | "http:///a.example" = "a.example"
//   user info  | kept; an empty one dropped; escaped as   | "@a.example" = "a.example"
//              | the path, and ":" after the first and    | "u:p:q@a.example" = "u:p%3Aq@a.example"
//              | "@ ; = [ \ ] ^ |" too                    |
//   host       | escapes decoded, then lower case; a      | "A.Example" = "%61.example"
//              | non-ASCII name as punycode (QUrl::toAce);| "café.example" = "xn--caf-dma.example"
//              | a number as its dotted IPv4 form; an     | "0x7f.1" = "127.0.0.1"
//              | IPv6 address in its shortest form        | "[0:0::1]" = "[::1]"
//   port       | dropped when it is the scheme's own      | "a.example:80" = "a.example"
//              | (http 80, https 443) or empty; leading   | "a.example:" = "a.example"
//              | zeros dropped                            | "a.example:0081" = "a.example:81"
//   path       | empty is "/"; "\" is "/"; "." and ".."   | "a.example" = "a.example/"
//              | segments (also "%2e" forms) resolved;    | "a.example/x/../y" = "a.example/y"
//              | blank " < > ^ ` { } escaped              | "a.example/a b" = "a.example/a%20b"
//   query      | blank " < > ' escaped                    | "a.example?q=a b" = "a.example?q=a%20b"
//   fragment   | blank " < > ` escaped                    | "a.example#a b" = "a.example#a%20b"
//   every part | what is not ASCII: escapes of its UTF-8  | "a.example/ü" = "a.example/%C3%BC"
//              | bytes (a host name: punycode, above)     |
//   escapes    | kept as written: never decoded, and the  | "a.example/%41" is not "a.example/A"
//              | letter case of their hex digits counts   | "a.example/%7e" is not ".../%7E"
//   the rest   | as written: letter case of the path,     | "a.example/A" is not "a.example/a"
//              | query and fragment; "www." or not; a     | "www.a.example" is not "a.example"
//              | "/" at the end of a non-empty path; an   | "a.example/x" is not "a.example/x/"
//              | empty "?" or "#"                         | "a.example/?" is not "a.example/"
//
// Two departures, both from what Wayfile can store:
//   - characters the files cannot hold are compared in their stored form,
//     escaped ("~" is "%7E", "|" is "%7C", a tab is "%09"), since that is
//     all a saved address keeps of them: "a.example/~x" is "a.example/%7Ex".
//   - an address no browser can open (a blank or "<" in the host name, a
//     port past 65535, an empty host) is the same only as itself: its
//     identity is the address as opened, exactly as written.
// A label of the host name in other letters is converted by Qt's IDNA,
// which refuses a few labels browsers take (one that mixes other letters
// with ASCII marks such as "_" or "~", as in "ü_x.example") and takes a few
// they refuse; an ASCII label never reaches it.
namespace modMain {

// The identity of `address` (as typed or as stored): the text two addresses
// share exactly when they are the same address, by the rules above. A blank
// address gives "".
QString AddressIdentity(const QString &address);

// The same, as ASCII bytes into `key` (its memory reused), for callers that
// work out many.
void AddressIdentity(QStringView address, std::string *key);

// The same for an address already in its stored form, given as its bytes:
// every byte 32..122, as the files hold it.
void StoredAddressIdentity(std::string_view stored, std::string *key);

} // namespace modMain
