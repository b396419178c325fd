#include "bench/bench_profile.h"

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "app/links.h"
#include "app/profile_vocabulary.h"

namespace quenmoor::bench {
namespace {

constexpr std::string_view OldFaqLink = "http://glpi.old-host.example/front/helpdesk.public.php";
constexpr std::string_view OldPortalLink = "http://portal.old-host.example/?h=%hash%&u=%user%";

// The configured links are plain ASCII (the build checks their host names).
std::string Narrow(std::u16string_view text) {
    std::string narrow;
    for (const char16_t unit : text) {
        narrow.push_back(static_cast<char>(unit));
    }
    return narrow;
}

std::string TwoDigits(int number) {
    std::array<char, 8> digits{};
    std::snprintf(digits.data(), digits.size(), "%02d", number);
    return digits.data();
}

// One filler key: always the same length, so the number needed for a size is a division.
std::string FillerLine(int branch, int index) {
    std::array<char, 96> line{};
    std::snprintf(line.data(), line.size(),
                  "PARAMETRO_%05d=valor de ajuste %05d da filial %02d\r\n", index, index, branch);
    return line.data();
}

// Text for a profile line, from narrow or (ASCII) UTF-16 text.
struct Piece {
    Piece(std::string_view narrow) : text(narrow) {}         // NOLINT(google-explicit-constructor)
    Piece(const std::string& narrow) : text(narrow) {}       // NOLINT(google-explicit-constructor)
    Piece(const char* narrow) : text(narrow) {}              // NOLINT(google-explicit-constructor)
    Piece(std::u16string_view wide) : text(Narrow(wide)) {}  // NOLINT(google-explicit-constructor)
    std::string text;
};

class ProfileWriter {
  public:
    ProfileWriter(const std::filesystem::path& path, LinkState state)
        : out_(path, std::ios::binary | std::ios::trunc), state_(state) {
        if (!out_) {
            throw std::runtime_error("cannot create " + path.string());
        }
    }

    // `branch` is -1 for [DEFAULT].
    void Section(int branch, int fillerKeys) {
        const bool isDefault = branch < 0;
        const std::string number = isDefault ? "00" : TwoDigits(branch);
        if (isDefault) {
            Line({"[", app::DefaultSection, "]"});
            Line({"VERSAO=", state_ == LinkState::VersionZero ? "0" : "7"});
            Line({"LOJA=Matriz"});
        } else {
            Line({"[", app::BranchSectionPrefix, number, "]"});
            Line({"LOJA=Filial ", number});
        }
        Line({"CNPJ=12.345.678/00", number, "-90"});
        Line({"ENDERECO=Rua das Flores, 1", number, " - Centro"});
        Line({"CIDADE=Porto Alegre"});
        Line({"TELEFONE=(51) 3333-01", number});
        Line({"SERVIDOR=srv-filial", number, ".quenmoor.local"});
        for (int index = 0; index < fillerKeys; ++index) {
            Write(FillerLine(isDefault ? 0 : branch, index));
        }
        const bool current = state_ == LinkState::Current;
        Line({"CHAMADA_ATEND_GLPI=", current ? faq_ : OldFaqLink});
        Line({"CHAMADA_ATEND_PORTAL=", current ? portal_ : OldPortalLink});
        Line({"PORTA=3050"});
        Line({"BANCO=C:\\Quenmoor\\Dados\\FILIAL", number, ".FDB"});
        Line({"ULTIMA_SINCRONIZACAO=2024-05-17 08:30:00"});
        Line({});
    }

    std::uintmax_t Finish() {
        out_.close();
        if (!out_) {
            throw std::runtime_error("cannot write a benchmark profile");
        }
        return written_;
    }

  private:
    // One line of `pieces`; names given as UTF-16 are ASCII here.
    void Line(std::initializer_list<Piece> pieces) {
        std::string line;
        for (const Piece& piece : pieces) {
            line.append(piece.text);
        }
        line.append("\r\n");
        Write(line);
    }
    void Write(std::string_view text) {
        out_.write(text.data(), static_cast<std::streamsize>(text.size()));
        written_ += text.size();
    }

    std::ofstream out_;
    LinkState state_;
    std::string faq_ = Narrow(app::FaqLink);
    std::string portal_ = Narrow(app::PortalLink);
    std::uintmax_t written_ = 0;
};

std::uintmax_t TargetBytes(ProfileSize size) {
    switch (size) {
        case ProfileSize::Reference:
            return 0;
        case ProfileSize::OneMegabyte:
            return std::uintmax_t{1} << 20U;
        case ProfileSize::TenMegabytes:
            return std::uintmax_t{10} << 20U;
    }
    return 0;
}

}  // namespace

std::string_view Label(ProfileSize size) {
    switch (size) {
        case ProfileSize::Reference:
            return "ref";
        case ProfileSize::OneMegabyte:
            return "1MB";
        case ProfileSize::TenMegabytes:
            return "10MB";
    }
    return "?";
}

std::string_view Label(LinkState state) {
    switch (state) {
        case LinkState::Current:
            return "current";
        case LinkState::Stale:
            return "stale";
        case LinkState::VersionZero:
            return "zero";
    }
    return "?";
}

std::uintmax_t WriteProfile(const std::filesystem::path& path, ProfileSize size, LinkState state) {
    constexpr int Sections = app::BranchCount + 1;
    // The reference profile first, to learn how much the filler keys must add.
    std::uintmax_t referenceBytes = 0;
    {
        ProfileWriter writer(path, state);
        for (int branch = -1; branch < app::BranchCount; ++branch) {
            writer.Section(branch, 0);
        }
        referenceBytes = writer.Finish();
    }
    const std::uintmax_t target = TargetBytes(size);
    if (target <= referenceBytes) {
        return referenceBytes;
    }
    const std::uintmax_t perKey = FillerLine(0, 0).size();
    const auto fillerKeys = static_cast<int>((target - referenceBytes) / (perKey * Sections));
    ProfileWriter writer(path, state);
    for (int branch = -1; branch < app::BranchCount; ++branch) {
        writer.Section(branch, fillerKeys);
    }
    return writer.Finish();
}

}  // namespace quenmoor::bench
