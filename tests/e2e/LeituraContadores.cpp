#include "tests/e2e/LeituraContadores.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QRegion>

#include "app/PrincipalForm.h"

namespace velmora::test::e2e {

namespace {

struct Rotulo {
    const char* nome;   // the value label's object name
    int32_t Contadores::*campo;
    int grupo;   // 0 "Arquivos Processados com Sucesso", 1 "Arquivos com Problemas"
};

const Rotulo kRotulos[] = {
    {"lblLotesProcessados", &Contadores::iLotesProcessados, 0},
    {"lblPedidosGerados", &Contadores::iPedidosGerados, 0},
    {"lblConfirmacaoRecebida", &Contadores::iConfirmacaoRecebida, 0},
    {"lblMDFeAutorizada", &Contadores::iMDFeAutorizada, 0},
    {"lblMDFeCanceladas", &Contadores::iMDFeCancelada, 0},
    {"lblMDFeEncerradas", &Contadores::iMDFeEncerrada, 0},
    {"lblConsultasMDFe", &Contadores::iConsultasMDFe, 0},
    {"lblSolicitacaoInconsistente", &Contadores::iSolicitacaoInconsistente, 1},
    {"lblLotesErro", &Contadores::iLotesErro, 1},
    {"lblConfirmacaoErro", &Contadores::iConfirmacaoErro, 1},
    {"lblMDFeErro", &Contadores::iMDFeErro, 1},
    {"lblConsultasComErro", &Contadores::iConsultasMDFeErro, 1},
};

// Colours may differ by a shade where a window is active or not; a wrong
// digit, or a label taken from the wrong place, differs by far more.
constexpr int kTolerancia = 48;

// The largest difference of one colour channel between two pictures of the
// same size.
int Diferenca(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 256;
    int maior = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            maior = std::max({maior, std::abs(qRed(la[x]) - qRed(lb[x])), std::abs(qGreen(la[x]) - qGreen(lb[x])),
                              std::abs(qBlue(la[x]) - qBlue(lb[x]))});
            if (maior > kTolerancia) return maior;
        }
    }
    return maior;
}

int Digitos(int32_t v) { return v < 10 ? 1 : v < 100 ? 2 : v < 1000 ? 3 : 4; }

// The reference window: built and laid out as the program's, never mapped.
class Referencia {
public:
    Referencia() {
        janela_.setAttribute(Qt::WA_DontShowOnScreen);
        janela_.show();
        for (const Rotulo& r : kRotulos) rotulos_.push_back(janela_.findChild<QLabel*>(r.nome));
        Assenta();
    }
    ~Referencia() { janela_.hide(); }

    QLabel* RotuloDe(size_t i) const { return rotulos_[i]; }
    QSize Tamanho() const { return janela_.size(); }

    // The value column of each group is as wide as its widest value: every
    // label of group g shows `digitos[g]` digits.
    void Largura(const int digitos[2]) {
        for (size_t i = 0; i < rotulos_.size(); ++i)
            rotulos_[i]->setText(QString(digitos[kRotulos[i].grupo], QChar('0')));
        Assenta();
    }

    QRect Area(size_t i) const { return QRect(rotulos_[i]->mapTo(&janela_, QPoint(0, 0)), rotulos_[i]->size()); }

    QImage Desenha(const QRect& area) {
        QImage imagem(area.size(), QImage::Format_RGB32);
        imagem.fill(Qt::black);
        QPainter pintor(&imagem);
        janela_.render(&pintor, QPoint(0, 0), QRegion(area));
        return imagem;
    }

private:
    void Assenta() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::processEvents();
        }
    }

    app::TfrmPrincipal janela_;
    std::vector<QLabel*> rotulos_;
};

}   // namespace

std::optional<Contadores> LeContadoresDaImagem(const QImage& foto, const Contadores& limite, std::string* motivo) {
    Referencia ref;
    const QImage janela = foto.convertToFormat(QImage::Format_RGB32);
    if (janela.size() != ref.Tamanho()) {
        if (motivo)
            *motivo = "the picture is " + std::to_string(janela.width()) + "x" + std::to_string(janela.height()) +
                      ", not the main window";
        return std::nullopt;
    }
    // What went wrong where the most labels did read.
    std::string falha;
    size_t maisLidos = 0;
    // The value labels move with the width of the widest value of their
    // group; each possible width is tried, and a reading counts only where
    // the widest value read has exactly that width.
    for (int d0 = 1; d0 <= 3; ++d0)
        for (int d1 = 1; d1 <= 3; ++d1) {
            const int digitos[2] = {d0, d1};
            ref.Largura(digitos);
            Contadores lidos;
            int maisLargo[2] = {0, 0};
            bool todos = true;
            for (size_t i = 0; i < std::size(kRotulos) && todos; ++i) {
                const Rotulo& r = kRotulos[i];
                const QRect area = ref.Area(i);
                const QImage alvo = janela.copy(area);
                std::optional<int32_t> achado;
                const int32_t teto = std::min(limite.*r.campo, 999);
                for (int32_t v = 0; v <= teto && !achado; ++v) {
                    if (Digitos(v) > digitos[r.grupo]) break;
                    ref.RotuloDe(i)->setText(QString::number(v));
                    if (Diferenca(ref.Desenha(area), alvo) <= kTolerancia) achado = v;
                }
                ref.RotuloDe(i)->setText(QString(digitos[r.grupo], QChar('0')));
                if (!achado) {
                    todos = false;
                    if (falha.empty() || i > maisLidos) {
                        maisLidos = i;
                        falha = std::string(r.nome) + " shows no value from 0 to " + std::to_string(teto);
                    }
                    break;
                }
                lidos.*r.campo = *achado;
                maisLargo[r.grupo] = std::max(maisLargo[r.grupo], Digitos(*achado));
            }
            if (todos && maisLargo[0] == d0 && maisLargo[1] == d1) return lidos;
        }
    if (motivo) *motivo = falha.empty() ? "no column width fits what was read" : falha;
    return std::nullopt;
}

}   // namespace velmora::test::e2e
