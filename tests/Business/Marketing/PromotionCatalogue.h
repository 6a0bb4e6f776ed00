// A data folder with one account, the product catalogue and the promotion
// template manager, and helpers to put products with pictures into the
// catalogue and templates over them.
#pragma once

#include "Business/Account/AccountManager.h"
#include "Business/Marketing/ProductGroupManager.h"
#include "Business/Marketing/ProductManager.h"
#include "Business/Marketing/PromoteTemplateManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class TPromotionCatalogue {
public:
    explicit TPromotionCatalogue(const std::string& aName)
        : FScratch(std::make_unique<TScratchFolder>(aName)),
          FManagers(std::make_unique<TAccountManagers>(FScratch->Path() / "data"))
    {
        TProductManager::BuildInstance();
        TProductGroupManager::BuildInstance();
        TPromoteTemplateManager::BuildInstance();
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FAccount->SetEmail("sales@example.com");
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
        std::filesystem::create_directories(FScratch->Path() / "picked");
    }
    ~TPromotionCatalogue()
    {
        FAccount = nullptr;
        TPromoteTemplateManager::ReleaseInstance();
        TProductGroupManager::ReleaseInstance();
        TProductManager::ReleaseInstance();
    }
    TPromotionCatalogue(const TPromotionCatalogue&) = delete;
    TPromotionCatalogue& operator=(const TPromotionCatalogue&) = delete;

    static TPromoteTemplateManager* Templates() { return TPromoteTemplateManager::PromoteTemplateManager(); }
    static TProductManager* Products() { return TProductManager::ProductManager(); }
    const std::filesystem::path& Scratch() const { return FScratch->Path(); }
    TRcAccount* Account() const { return FAccount.Get(); }
    TRcResPath* AccountPath() const { return TRcResPath::CreateAndAutoRelease({FAccount->ResId()}); }
    TRcResPath* Folder() const { return Templates()->GetPromoteTemplateFolderResPath(AccountPath()); }

    // A product saved with one picture per entry of aPictures (each the
    // bytes of a picture file); the product as saved.
    TRcProduct* SaveProduct(const std::string& aName, const std::string& aModel, double aPrice,
                            const std::string& aRemarks, const std::vector<std::string>& aPictures)
    {
        TRcProduct* product = Products()->CreateProduct();
        product->FName = aName;
        product->FModel = aModel;
        product->FPrice = aPrice;
        product->FRemarks = aRemarks;
        for (const std::string& bytes : aPictures) {
            TRcProductImage* image = Products()->CreateProductImage();
            const std::filesystem::path file = Scratch() / "picked" / (image->Id() + ".png");
            std::ofstream(file, std::ios::binary) << bytes;
            image->FImageName = image->Id();
            image->FFileName = file.string();
            product->FImages->Add(image);
        }
        TRcResPath* group = TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtProductGroup, "")});
        Products()->SaveProduct(group, product);
        return product;
    }

    // A template over the products, each item with the pictures of its
    // product at the given positions; saved, its path returned.
    struct TItemChoice {
        TRcProduct* Product;
        std::vector<int> Pictures;
    };
    TRcResPath* SaveTemplate(TRcPromoteTemplate* aTemplate, const std::vector<TItemChoice>& aItems)
    {
        aTemplate->FItems->Clear();
        for (const TItemChoice& wanted : aItems) {
            TRcPromoteTemplateItem* item = Templates()->CreatePromoteTemplateItem();
            item->FProductId = wanted.Product->Id();
            for (int index : wanted.Pictures) {
                TRcPromoteTemplateItemImage* image = Templates()->CreatePromoteTemplateItemImage();
                image->FProductImageId = wanted.Product->FImages->GetItem(index)->Id();
                item->FProductImages->Add(image);
            }
            aTemplate->FItems->Add(item);
        }
        return Templates()->SavePromoteTemplate(Folder(), aTemplate);
    }
    TRcPromoteTemplate* NewTemplate(const std::string& aName, const std::string& aContent)
    {
        TRcPromoteTemplate* promotion = Templates()->CreatePromoteTemplate();
        promotion->FName = aName;
        promotion->FPromotionContent = aContent;
        return promotion;
    }

private:
    TRetainCountObjectAutoReleasePool FPool;
    std::unique_ptr<TScratchFolder> FScratch;
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
};

// Bytes a picture file may hold: the PNG signature, then its own text.
inline std::string PngBytes(const std::string& aTag)
{
    return std::string("\x89PNG\r\n\x1a\n", 8) + aTag;
}
