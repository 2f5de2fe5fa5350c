#pragma once

// The picture server's HTML pages. The client fills their first forms by
// position, so the element order of each first form is fixed:
//   add-picture page:  0 titel, 1 name, 2 passwort, 3 datei (file), 4 submit
//   a picture's page:  0 passwort, 1 submit "Anmelden"

#include "Pages.h"
#include "Pictures.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forumsim {

inline constexpr std::string_view kUploadPath = "/ASP/Bld_Anlegen.asp";
inline constexpr std::string_view kNewestPath = "/ASP/Bld_Neuzugang.asp";
inline constexpr std::string_view kPicturePagePath = "/ASP/Bld_D.asp";

std::string picturePagePath(int number);   // /ASP/Bld_D.asp?id=N
std::string pictureFilePath(int number);   // /Bilder/BN.jpg
// N of a path shaped like pictureFilePath(N): nothing for another path, 0
// when what stands in N's place is not a number of 1 to 9 digits above 0.
std::optional<int> pictureFileNumber(std::string_view path);

std::string renderPictureStart();
std::string renderUploadForm();
std::string renderNewestPictures(const std::vector<PictureInfo> &pictures);
// `pictureHost` goes into the markup line that inserts the picture.
std::string renderPicturePage(const PictureInfo &picture, std::string_view pictureHost);
std::string renderOwnerView(const PictureInfo &picture, std::string_view pictureHost, LoginOutcome outcome);
// An error page of the picture server ("Fehler beim Hochladen", ...).
Reply pictureErrorReply(int status, std::string_view heading, std::string_view message);

} // namespace forumsim
